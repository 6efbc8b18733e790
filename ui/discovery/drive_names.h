// How a drive list names its drives, like the classic drive list box: the
// drive letter in lower case and a colon, then the volume label in
// brackets when there is one ("c: [SISTEMA]").
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace act {

// "c:\" and "SISTEMA" give "c: [SISTEMA]"; an empty label gives "c:".
std::string DriveDisplayText(const std::string& root, const std::string& label);

// The index of the drive among `roots` ("a:\", "c:\", ...) that `text`
// names: its first character is that drive's letter (either case) and its
// second, if any, is a colon. Nothing when the text names no drive of the
// list (the empty text, "\\server", "q:" without a drive q).
std::optional<size_t> FindNamedDrive(const std::vector<std::string>& roots, const std::string& text);

}  // namespace act
