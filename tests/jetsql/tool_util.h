// Running jetsql in-process on copies of the sample databases.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_drive.h"
#include "tools/jetsql/command_line.h"
#include "tools/jetsql/runner.h"

namespace act::jetsql {

struct Outcome {
  int status = -1;
  std::string out, err;
};

inline Outcome RunTool(FileSystem& fs, const std::vector<std::string>& args,
                       const std::string& input = "") {
  Options options = ParseCommandLine(args);
  std::istringstream in(input);
  std::ostringstream out, err;
  Outcome o;
  o.status = Run(options, fs, in, out, err);
  o.out = out.str();
  o.err = err.str();
  return o;
}

// The host path of a sample ("jet3/testV1997.mdb").
inline std::string SampleHostPath(const std::string& relative) {
  return std::string(ACT_TEST_DATA_DIR) + "/jet/" + relative;
}

// A copy of a sample on a drive of the test's own, named "<drive>\datos.mdb".
class SampleCopy {
 public:
  explicit SampleCopy(const std::string& relative) : path_(drive_.Path("\\datos.mdb")) {
    bytes_ = drive_.fs().ReadFileBytes(testing::HostFile(SampleHostPath(relative)));
    drive_.fs().WriteFileBytes(path_, bytes_);
  }
  FileSystem& fs() { return drive_.fs(); }
  const std::string& path() const { return path_; }
  testing::TempDrive& drive() { return drive_; }
  bool Unchanged() { return drive_.fs().ReadFileBytes(path_) == bytes_; }

 private:
  testing::TempDrive drive_;
  std::string path_;
  std::vector<uint8_t> bytes_;
};

}  // namespace act::jetsql
