#include "ui/discovery/drive_names.h"

#include <cctype>

namespace act {

std::string DriveDisplayText(const std::string& root, const std::string& label) {
  std::string text = root.substr(0, 2);
  if (!text.empty()) text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
  if (!label.empty()) text += " [" + label + "]";
  return text;
}

std::optional<size_t> FindNamedDrive(const std::vector<std::string>& roots, const std::string& text) {
  if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) return std::nullopt;
  if (text.size() > 1 && text[1] != ':') return std::nullopt;
  int letter = std::tolower(static_cast<unsigned char>(text[0]));
  for (size_t i = 0; i < roots.size(); ++i) {
    if (!roots[i].empty() && std::tolower(static_cast<unsigned char>(roots[i][0])) == letter) return i;
  }
  return std::nullopt;
}

}  // namespace act
