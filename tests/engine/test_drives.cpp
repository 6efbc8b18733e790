#include "test_drives.h"

#include <cstdlib>
#include <stdexcept>

#ifndef _WIN32
#include <filesystem>
#include <unistd.h>
#endif

namespace act::test {

#ifdef _WIN32

TestDrives::TestDrives() {
  const char* list = std::getenv("ACT_TEST_DRIVES");
  std::string text = list ? list : "";
  for (size_t start = 0; start < text.size();) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    if (comma > start) drives_.push_back(text.substr(start, comma - start));
    start = comma + 1;
  }
  if (drives_.size() < 3)
    throw std::runtime_error("ACT_TEST_DRIVES names fewer than three drives: run under with_drives.sh");
  fs_ = NewPlatformFileSystem();
  profiles_ = NewPlatformProfileStore(*fs_);
  // Each test starts from empty drives.
  for (const std::string& drive : drives_)
    for (const std::string& name : fs_->ListFolder(drive + "\\")) {
      std::string path = drive + "\\" + name;
      if (fs_->FolderExists(path))
        fs_->DeleteFolder(path, true);
      else
        fs_->DeleteFile(path, true);
    }
}

TestDrives::~TestDrives() = default;

std::string TestDrives::ShellRoot(size_t n) const { return drives_.at(n); }

#else

TestDrives::TestDrives() {
  namespace stdfs = std::filesystem;
  std::string pattern = (stdfs::temp_directory_path() / "act-engine-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  prefix_ = pattern;
  stdfs::create_directories(prefix_ + "/dosdevices");
  for (const char* letter : {"q", "r", "s"}) {
    stdfs::create_directory(prefix_ + "/drive_" + letter);
    stdfs::create_directory_symlink("../drive_" + std::string(letter),
                                    prefix_ + "/dosdevices/" + letter + ":");
    drives_.push_back(std::string(letter) + ":");
  }
  fs_ = NewPlatformFileSystem(prefix_);
  profiles_ = NewPlatformProfileStore(*fs_);
}

std::string TestDrives::ShellRoot(size_t n) const {
  return prefix_ + "/drive_" + drives_.at(n).substr(0, 1);
}

TestDrives::~TestDrives() {
  namespace stdfs = std::filesystem;
  profiles_.reset();
  fs_.reset();
  // Read-only files and folders the tests made must not block the clean-up.
  std::error_code ignored;
  for (auto it = stdfs::recursive_directory_iterator(prefix_, ignored);
       it != stdfs::recursive_directory_iterator(); it.increment(ignored))
    if (!it->is_symlink()) stdfs::permissions(it->path(), stdfs::perms::owner_all,
                                              stdfs::perm_options::add, ignored);
  stdfs::remove_all(prefix_, ignored);
}

#endif

}  // namespace act::test
