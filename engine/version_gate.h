// The version gate: which combinations of installed and packaged versions the
// update refuses, and with which message.
#pragma once

#include <optional>
#include <string>

namespace act {

// Version texts compare ordinally, character code by character code, case
// significant, a text that begins the other being the lower one; numbers are
// never interpreted, so "1.9" is above "1.10".
int CompareVersionTexts(const std::string& a, const std::string& b);

// The refusal message for this combination, or nothing when the update may
// go on. minimo is the manifest's lowest updatable version; empty refuses
// nothing.
std::optional<std::string> VersionGateRefusal(const std::string& current,
                                              const std::string& package,
                                              const std::string& minimo);

}  // namespace act
