// Reading one value from a registry file of a Wine-style prefix (user.reg,
// system.reg): the text format that wineserver saves its hives in.
#pragma once

#include <optional>
#include <string>

namespace act {

// The REG_SZ value `name` of the key `key` (written with single
// backslashes, e.g. "Software\Microsoft\..."), from the file's text. Key
// and value names compare without regard to letter case, as the registry's
// do. Returns nothing when the key or the value is absent or not a string.
std::optional<std::string> FindRegistryString(const std::string& file_text,
                                              const std::string& key,
                                              const std::string& name);

}  // namespace act
