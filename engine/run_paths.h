// Where the update run finds and puts things on the target drive.
#pragma once

#include <string>

namespace act {

// The drive text up to and including its first ':' ("c: [DATOS]" gives
// "c:"). A text without a colon names no drive: every path of the run would
// then be relative to the current drive, so it fails with 68 Device
// unavailable instead.
std::string TargetDrive(const std::string& drive_text);

// True when the package folder (updater_folder + "\zentaroDeck_NEW") is the
// staging folder of drive or lies inside it, i.e. when clearing the staging
// folder would delete the package. Compared the way Windows names folders:
// letter case ignored, '/' as '\', repeated separators, a trailing separator
// and "." / ".." steps resolved, so "C:\" is the root of drive "c:".
bool PackageIsInStagingFolder(const std::string& updater_folder, const std::string& drive);

}  // namespace act
