#include "engine/run_paths.h"

#include "platform/error.h"

namespace act {

std::string TargetDrive(const std::string& drive_text) {
  size_t colon = drive_text.find(':');
  if (colon == std::string::npos)
    throw Error(kErrDeviceUnavailable, "no drive in the drive text '" + drive_text + "'");
  return drive_text.substr(0, colon + 1);
}

}  // namespace act
