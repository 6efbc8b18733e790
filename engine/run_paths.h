// Where the update run finds and puts things on the target drive.
#pragma once

#include <string>

namespace act {

// The drive text up to and including its first ':' ("c: [DATOS]" gives
// "c:"). A text without a colon names no drive: every path of the run would
// then be relative to the current drive, so it fails with 68 Device
// unavailable instead.
std::string TargetDrive(const std::string& drive_text);

}  // namespace act
