// One handle per database file, shared by every open of it during a
// carry-over: Windows would refuse a second handle that writes.
#include <gtest/gtest.h>

#include "engine/database/shared_files.h"
#include "platform/error.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

// The platform's file system, counting the opens that reach it; a file
// whose name ends in ".ro" refuses writable opens, as a read-only file does.
class CountingFileSystem : public SharedFileSystem {
 public:
  explicit CountingFileSystem(FileSystem& real) : SharedFileSystem(real), real_(real) {}
  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override {
    ++opens;
    if (writable && path.size() > 3 && path.substr(path.size() - 3) == ".ro")
      throw Error(kErrPermissionDenied, path);
    return real_.OpenRandomAccess(path, writable);
  }
  int opens = 0;

 private:
  FileSystem& real_;
};

class SharedFiles : public ::testing::Test {
 protected:
  SharedFiles() : counting_(d_.fs()), shared_(static_cast<FileSystem&>(counting_)) {
    d_.WriteText("\\datos.new", "abcdef");
    d_.WriteText("\\datos.ro", "solo lectura");
  }
  act::testing::TempDrive d_;
  CountingFileSystem counting_;
  SharedFileSystem shared_;
};

TEST_F(SharedFiles, OpensOfOnePathShareOneHandle) {
  auto reader = shared_.OpenRandomAccess(d_.Path("\\datos.new"), false);
  auto writer = shared_.OpenRandomAccess(d_.Path("\\DATOS.NEW"), true);
  EXPECT_EQ(counting_.opens, 1);
  writer->WriteAt(0, "XY", 2);
  char got[6];
  ASSERT_EQ(reader->ReadAt(0, got, 6), 6u);
  EXPECT_EQ(std::string(got, 6), "XYcdef");
  // The reader's view never writes.
  try {
    reader->WriteAt(0, "z", 1);
    FAIL() << "a read-only view wrote";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrPermissionDenied);
  }
  reader.reset();
  writer.reset();
  // Once every view is gone the handle is closed; the next open opens anew.
  auto again = shared_.OpenRandomAccess(d_.Path("\\datos.new"), false);
  EXPECT_EQ(counting_.opens, 2);
  EXPECT_EQ(d_.ReadText("\\datos.new"), "XYcdef");
}

TEST_F(SharedFiles, ReadOnlyFileIsReadableButNotWritable) {
  auto reader = shared_.OpenRandomAccess(d_.Path("\\datos.ro"), false);
  char got[4];
  EXPECT_EQ(reader->ReadAt(0, got, 4), 4u);
  EXPECT_THROW(shared_.OpenRandomAccess(d_.Path("\\datos.ro"), true), Error);
  EXPECT_THROW(reader->Truncate(0), Error);
  EXPECT_EQ(d_.ReadText("\\datos.ro"), "solo lectura");
}

}  // namespace
}  // namespace act
