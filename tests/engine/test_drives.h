// Temporary drives for the end-to-end tests, reached through the real
// platform backend.
//
// posix: a private Wine-style prefix in a temporary folder, whose
// dosdevices entries q:, r:, s: lead to empty folders of its own.
// Windows (under Wine too): three of the shared temporary drives
// (tests/support/temp_drive.h), each a fresh folder behind a free letter.
// The posix side keeps a prefix of its own because the shared helper gives
// every drive a separate prefix, and a run needs several in one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/profile_store.h"

namespace act::test {

class TestDrives {
 public:
  TestDrives();
  ~TestDrives();
  TestDrives(const TestDrives&) = delete;
  TestDrives& operator=(const TestDrives&) = delete;

  // The n-th drive (0-based, at least three), as "q:".
  const std::string& drive(size_t n) const { return drives_.at(n); }
  FileSystem& fs() { return *fs_; }
  ProfileStore& profiles() { return *profiles_; }
  // The n-th drive's root as the host's shell names it, for redirecting a
  // spawned program's output there: "/tmp/act-engine-x/drive_q" or "q:".
  std::string ShellRoot(size_t n) const;
  // posix: the prefix folder to hand to NewPlatformFileSystem or --prefix;
  // empty on Windows.
  const std::string& prefix() const { return prefix_; }

  // One more drive letter for the n-th drive's folder ("t:"), as subst or
  // a second mapping of one share gives.
  std::string AddAlias(size_t n);
  // A symbolic link at `link` to the folder `target` (both on these
  // drives); see act::testing::MakeFolderLink for Windows and Wine.
  void MakeFolderLink(const std::string& link, const std::string& target);
#ifndef _WIN32
  // The host's name of a path on these drives.
  std::string HostPath(const std::string& path) const;
#endif
  // Mounts on the existing folder `onto` (on these drives) a memory file
  // system of the host, or the folder `from` (a bind mount). Returns why it
  // could not be done (the kernel refused; Windows without Wine has no host
  // to ask), or the empty text. The destructor unmounts whatever is still
  // mounted before it removes the drives.
  std::string MountMemory(const std::string& onto);
  std::string MountBind(const std::string& from, const std::string& onto);
  void Unmount(const std::string& onto);

 private:
  struct Mapped;
  std::unique_ptr<Mapped> mapped_;
  std::vector<std::string> mounted_;  // host paths, in mounting order
  std::vector<std::string> drives_;
  std::string prefix_;
  std::unique_ptr<FileSystem> fs_;
  std::unique_ptr<ProfileStore> profiles_;
};

}  // namespace act::test
