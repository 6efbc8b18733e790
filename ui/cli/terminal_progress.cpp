#include "ui/cli/terminal_progress.h"

#include "ui/cli/run_texts.h"

namespace act {
namespace {

// Redrawing more often than this only costs time.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
  return text;
}

// Characters, not bytes, of UTF-8 text: how wide the line is.
size_t Width(const std::string& text) {
  size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

}  // namespace

void TerminalProgress::StageStarted(RunStage stage) {
  Clear();
  stage_ = stage;
  copied_ = 0;
}

void TerminalProgress::FileCopied(uint64_t bytes) {
  copied_ += bytes;
  std::string text = std::string(StageName(stage_)) + ": " + Megabytes(copied_);
  if (stage_ == RunStage::kStaging && package_bytes_ > 0)
    text += " de " + Megabytes(package_bytes_) + " (" +
            std::to_string(copied_ * 100 / package_bytes_) + " %)";
  Show(text);
}

void TerminalProgress::RowsCopied(const std::string& table, int64_t done, int64_t total) {
  Show("tabla " + table + ": " + std::to_string(done) + " de " + std::to_string(total) + " filas");
}

void TerminalProgress::Show(const std::string& text) {
  const auto clock = std::chrono::steady_clock::now();
  if (shown_width_ > 0 && clock - last_shown_ < kRedrawEvery) return;
  last_shown_ = clock;
  const size_t width = Width(text);
  std::string line = "\r" + text;
  if (width < shown_width_) line += std::string(shown_width_ - width, ' ');
  std::fputs(line.c_str(), terminal_);
  std::fflush(terminal_);
  shown_width_ = width;
}

void TerminalProgress::Clear() {
  if (shown_width_ == 0) return;
  std::fputs(("\r" + std::string(shown_width_, ' ') + "\r").c_str(), terminal_);
  std::fflush(terminal_);
  shown_width_ = 0;
}

}  // namespace act
