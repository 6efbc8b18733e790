// Shared set-up of the end-to-end tests: three temporary drives on the real
// backend, an installed product on the first, the updater's folder on the
// second, and the message boxes the run shows.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/update_run.h"
#include "platform/error.h"
#include "test_drives.h"
#include "tests/support/sample_drive.h"

namespace act::test {

struct ShownBox {
  std::string text;
  int style;
  std::string title;
  bool operator==(const ShownBox&) const = default;
};

inline void PrintTo(const ShownBox& box, std::ostream* os) {
  *os << "{\"" << box.text << "\", " << box.style << ", \"" << box.title << "\"}";
}

class RecordingBoxes : public MessageBoxes {
 public:
  void Show(const std::string& text, int style, const std::string& title) override {
    shown.push_back({text, style, title});
    if (on_show) on_show();
  }
  std::vector<ShownBox> shown;
  std::function<void()> on_show;  // runs while the "box is open"
};

class RunTest : public ::testing::Test {
 protected:
  std::vector<uint8_t> Exe(const std::string& version) {
    return VersionedExe(fs(), ACT_TEST_EXE_DIR, version);
  }
  FileSystem& fs() { return drives_.fs(); }
  ProfileStore& profiles() { return drives_.profiles(); }

  // Installation of `installed` on the target drive, package of `packaged`
  // in the updater's folder.
  void MakeSample(const std::string& installed, const std::string& packaged) {
    PutInstallation(fs(), drive, Exe(installed), options);
    PutPackage(fs(), origin, Exe(packaged), options);
  }

  RunOutcome Run() {
    RunServices services{fs(), profiles(), boxes};
    return RunUpdate({drive, origin}, services);
  }

  // Runs and returns the failure's error (failing the test if none).
  Error RunExpectingError() {
    try {
      Run();
    } catch (const Error& e) {
      return e;
    }
    ADD_FAILURE() << "the run did not fail";
    return Error(0, "");
  }

  std::string Staged(const std::string& relative) { return drive + "\\zentaroDeck_NEW" + relative; }
  std::string Installed(const std::string& relative) { return drive + "\\zentaroDeck" + relative; }
  std::string Text(const std::string& path) {
    auto bytes = fs().ReadFileBytes(path);
    return std::string(bytes.begin(), bytes.end());
  }


 public:
  TestDrives drives_;
  const std::string drive = drives_.drive(0);
  const std::string origin = drives_.drive(1) + "\\disco";
  SampleOptions options;
  RecordingBoxes boxes;
};

}  // namespace act::test
