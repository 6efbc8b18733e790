#include "engine/run_paths.h"

#include <vector>

#include "platform/error.h"

namespace act {
namespace {

// A comparable form of a Windows path: lower case (ASCII letters, which is
// all a drive letter and our fixed folder names hold), '\' separators, no
// empty, "." or ".." steps, no trailing separator.
std::string Comparable(const std::string& path) {
  std::vector<std::string> steps;
  std::string step;
  auto close_step = [&] {
    if (step == "..") {
      if (steps.size() > 1) steps.pop_back();
    } else if (!step.empty() && step != ".") {
      steps.push_back(step);
    }
    step.clear();
  };
  for (char c : path) {
    if (c == '\\' || c == '/') {
      close_step();
    } else {
      step += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
  }
  close_step();
  std::string joined;
  for (size_t i = 0; i < steps.size(); ++i) joined += (i ? "\\" : "") + steps[i];
  return joined;
}

}  // namespace

std::string TargetDrive(const std::string& drive_text) {
  size_t colon = drive_text.find(':');
  if (colon == std::string::npos)
    throw Error(kErrDeviceUnavailable, "no drive in the drive text '" + drive_text + "'");
  return drive_text.substr(0, colon + 1);
}

bool PackageIsInStagingFolder(const std::string& updater_folder, const std::string& drive) {
  std::string package = Comparable(updater_folder + "\\zentaroDeck_NEW");
  std::string staging = Comparable(drive + "\\zentaroDeck_NEW");
  return package == staging || package.rfind(staging + "\\", 0) == 0;
}

}  // namespace act
