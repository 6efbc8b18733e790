#include "ui/cli/terminal_progress.h"

#include <algorithm>

#include "ui/cli/run_texts.h"

namespace act {
namespace {

// Redrawing more often than this only costs time; a step shorter than this
// is over before anyone could read its line.
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
// A file name cut to fewer characters says nothing.
constexpr size_t kShortestName = 5;

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024 * 1024));
  return text;
}

bool StartsCharacter(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

// Characters, not bytes, of UTF-8 text: how wide the line is.
size_t Width(const std::string& text) {
  return size_t(std::count_if(text.begin(), text.end(), StartsCharacter));
}

// The byte where the character numbered `n` begins (the end when there are
// fewer).
size_t CharacterAt(const std::string& text, size_t n) {
  for (size_t at = 0; at < text.size(); ++at)
    if (StartsCharacter(text[at]) && n-- == 0) return at;
  return text.size();
}

// The name in `width` characters at most: its beginning and its end (where
// the number and the extension are) around an ellipsis.
std::string Shortened(const std::string& name, size_t width) {
  const size_t length = Width(name);
  if (length <= width) return name;
  const size_t tail = (width - 1) / 2, head = width - 1 - tail;
  return name.substr(0, CharacterAt(name, head)) + "…" + name.substr(CharacterAt(name, length - tail));
}

// What follows the last backslash of a path.
std::string FileName(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Label, figures and name on one line of `columns`: the name shortened
// first, then dropped, then the label, then the figures cut at the front,
// so that what moves stays in sight. The last column stays empty: writing
// into it makes some terminals wrap.
std::string Fitted(const std::string& label, const std::string& figures, const std::string& name,
                   int columns) {
  const std::string whole = label + figures;
  if (columns <= 0) return name.empty() ? whole : whole + " " + name;
  const size_t limit = size_t(columns) - 1, width = Width(whole);
  if (!name.empty() && width + 1 + kShortestName <= limit)
    return whole + " " + Shortened(name, limit - width - 1);
  if (width <= limit) return whole;
  const size_t figures_width = Width(figures);
  if (figures_width <= limit) return figures;
  if (limit == 0) return "";
  return "…" + figures.substr(CharacterAt(figures, figures_width - (limit - 1)));
}

}  // namespace

void TerminalProgress::Begin() {
  step_began_ = std::chrono::steady_clock::now();
  step_shown_ = false;
}

void TerminalProgress::StageStarted(RunStage stage) {
  Begin();
  stage_ = stage;
  copied_ = 0;
}

std::string TerminalProgress::CopyFigures() const {
  std::string text = Megabytes(copied_);
  if (stage_ == RunStage::kStaging && package_bytes_ > 0)
    text += " de " + Megabytes(package_bytes_) + " (" +
            std::to_string(std::min(copied_, package_bytes_) * 100 / package_bytes_) + " %)";
  return text;
}

void TerminalProgress::FileCopied(const std::string& file, uint64_t bytes) {
  copied_ += bytes;
  Show(std::string(StageName(stage_)) + ": ", CopyFigures(), FileName(file), false);
}

void TerminalProgress::Copied(bool, const std::string&, const std::string&) {
  // The whole package is on the drive now, whatever the measure before
  // said of it.
  if (stage_ == RunStage::kStaging) copied_ = std::max(copied_, package_bytes_);
  if (step_shown_) Show(std::string(StageName(stage_)) + ": ", CopyFigures(), "", true);
}

void TerminalProgress::RowsCopied(const std::string& table, int64_t done, int64_t total) {
  table_ = table;
  rows_done_ = done;
  rows_total_ = total;
  Show("tabla " + table + ": ", RowFigures(), "", false);
}

void TerminalProgress::StatementRun(const std::string& table, const std::string&,
                                    const StatementCounts&) {
  if (step_shown_ && table == table_) Show("tabla " + table + ": ", RowFigures(), "", true);
}

std::string TerminalProgress::RowFigures() const {
  return std::to_string(rows_done_) + " de " + std::to_string(rows_total_) + " filas";
}

void TerminalProgress::Show(const std::string& label, const std::string& figures,
                            const std::string& name, bool done) {
  const auto clock = std::chrono::steady_clock::now();
  if (!done && (clock - step_began_ < kRedrawEvery ||
                (step_shown_ && clock - last_shown_ < kRedrawEvery)))
    return;
  last_shown_ = clock;
  const int columns = columns_ ? columns_() : 0;
  const std::string text = Fitted(label, figures, name, columns);
  const size_t width = Width(text);
  std::string line = "\r" + text;
  // Spaces over what is left of a longer line before, within the width.
  size_t wipe = shown_width_ > width ? shown_width_ - width : 0;
  if (columns > 0) wipe = std::min(wipe, size_t(columns) - 1 - width);
  line.append(wipe, ' ');
  if (done) line += "\n";
  std::fputs(line.c_str(), terminal_);
  std::fflush(terminal_);
  shown_width_ = done ? 0 : width;
  step_shown_ = !done;
}

void TerminalProgress::Clear() {
  if (shown_width_ == 0) return;
  const int columns = columns_ ? columns_() : 0;
  const size_t width = columns > 0 ? std::min(shown_width_, size_t(columns) - 1) : shown_width_;
  std::string wipe(width + 2, ' ');
  wipe.front() = wipe.back() = '\r';
  std::fputs(wipe.c_str(), terminal_);
  std::fflush(terminal_);
  shown_width_ = 0;
}

}  // namespace act
