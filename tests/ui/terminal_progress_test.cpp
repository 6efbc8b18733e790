// The progress line of actualizador-cli on a pseudo-terminal, read back as
// a terminal would show it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "ui/cli/cli_host.h"
#include "ui/cli/terminal_progress.h"

namespace act {
namespace {

constexpr uint64_t kMB = 1 << 20;

class Terminal {
 public:
  Terminal() {
    EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, nullptr), 0);
    file_ = fdopen(slave_, "w");
  }
  ~Terminal() {
    std::fclose(file_);
    close(master_);
  }
  std::FILE* file() { return file_; }
  void Resize(unsigned short columns) {
    winsize size{24, columns, 0, 0};
    ioctl(master_, TIOCSWINSZ, &size);
  }
  // Everything written to the terminal so far.
  std::string Read() {
    std::string text;
    char buffer[4096];
    pollfd ready{master_, POLLIN, 0};
    while (poll(&ready, 1, 50) > 0) {
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, size_t(n));
    }
    return text;
  }

 private:
  int master_ = -1, slave_ = -1;
  std::FILE* file_ = nullptr;
};

// The texts the line showed, one per redraw (wiping spaces included), and
// whether each was left on a line of its own.
struct Frame {
  std::string text;
  bool kept;
};
std::vector<Frame> Frames(const std::string& output) {
  std::vector<Frame> frames;
  std::string text;
  for (char c : output) {
    if (c == '\r' || c == '\n') {
      if (!text.empty()) frames.push_back({text, false});
      if (c == '\n' && !frames.empty()) frames.back().kept = true;
      text.clear();
    } else {
      text += c;
    }
  }
  if (!text.empty()) frames.push_back({text, false});
  return frames;
}

size_t Characters(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

void Wait() { std::this_thread::sleep_for(std::chrono::milliseconds(120)); }

// The package copy moves within a large file, fits the line to the
// terminal as it is at each redraw (the file name shortened first), and
// ends with 100 % on a line that stays; a step too short to follow shows
// nothing.
TEST(TerminalProgress, MovesWithinAFileFitsTheTerminalAndEndsAtTheWhole) {
  Terminal terminal;
  terminal.Resize(60);
  TerminalProgress progress(terminal.file(), 100 * kMB,
                            [&] { return TerminalColumns(terminal.file()); });
  const std::string video = "c:\\zentaroDeck_NEW\\música\\presentación del bar en la plaza.mp4";

  progress.StageStarted(RunStage::kStaging);
  progress.FileCopied("c:\\zentaroDeck_NEW\\zentaroDeck.exe", 1 * kMB);  // too soon to show
  Wait();
  progress.FileCopied(video, 29 * kMB);
  Wait();
  terminal.Resize(30);
  progress.FileCopied(video, 30 * kMB);
  progress.Copied(true, "e:\\zentaroDeck_NEW", "c:\\zentaroDeck_NEW");

  // A table copy over before a tenth of a second shows nothing.
  progress.StageStarted(RunStage::kDatabase);
  progress.StatementStarting("dinero", "Insert INTO dinero ...");
  progress.RowsCopied("dinero", 5, 5);
  progress.StatementRun("dinero", "Insert INTO dinero ...", {});

  const std::vector<Frame> frames = Frames(terminal.Read());
  ASSERT_EQ(frames.size(), 3u);
  for (const Frame& frame : frames) EXPECT_LE(Characters(frame.text), 59u) << frame.text;
  // The file being copied, its name shortened to the room left.
  EXPECT_EQ(Characters(frames[0].text), 59u) << frames[0].text;
  EXPECT_EQ(frames[0].text.rfind("copia del paquete: 30.0 MB de 100.0 MB (30 %) presen", 0), 0u)
      << frames[0].text;
  EXPECT_TRUE(frames[0].text.ends_with("…za.mp4")) << frames[0].text;
  // Too narrow for the name and the label: the figures alone; spaces wipe
  // the longer line before, within the width.
  EXPECT_EQ(frames[1].text, "60.0 MB de 100.0 MB (60 %)   ");
  EXPECT_FALSE(frames[1].kept);
  // The end: the whole package, on a line that stays.
  EXPECT_EQ(frames[2].text, "100.0 MB de 100.0 MB (100 %)");
  EXPECT_TRUE(frames[2].kept);
}

}  // namespace
}  // namespace act
