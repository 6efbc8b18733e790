#include "test_drives.h"

#ifdef _WIN32
#include "tests/support/temp_drive.h"
#endif

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

#ifndef _WIN32
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/posix/drive_map.h"
#endif

namespace act::test {

#ifdef _WIN32

// Drive letters are global on Windows: three of the shared temporary drives
// are seen by one file-system service, and by the programs a test starts.
struct TestDrives::Mapped {
  act::testing::TempDrive drives[3];
};

TestDrives::TestDrives() : mapped_(std::make_unique<Mapped>()) {
  for (auto& d : mapped_->drives) drives_.push_back(d.drive());
  fs_ = NewPlatformFileSystem();
  profiles_ = NewPlatformProfileStore(*fs_);
}

// Under Wine the host's mount and umount do it, on the host's names of the
// folders.
std::string TestDrives::MountMemory(const std::string& onto) {
  const std::string host = act::testing::HostName(onto);
  if (!act::testing::RunningUnderWine()) return "no host to mount on outside Wine";
  if (act::testing::RunHostProgram({"mount", "-t", "tmpfs", "-o", "size=16m", "act-test", host}))
    return "mount -t tmpfs failed";
  mounted_.push_back(host);
  return "";
}

std::string TestDrives::MountBind(const std::string& from, const std::string& onto) {
  const std::string host = act::testing::HostName(onto);
  if (!act::testing::RunningUnderWine()) return "no host to mount on outside Wine";
  if (act::testing::RunHostProgram({"mount", "--bind", act::testing::HostName(from), host}))
    return "mount --bind failed";
  mounted_.push_back(host);
  return "";
}

void TestDrives::Unmount(const std::string& onto) {
  const std::string host = act::testing::HostName(onto);
  auto at = std::find(mounted_.rbegin(), mounted_.rend(), host);
  if (at == mounted_.rend() || act::testing::RunHostProgram({"umount", "-l", host}))
    throw std::runtime_error("cannot unmount " + host);
  mounted_.erase(std::next(at).base());
}

TestDrives::~TestDrives() {
  for (auto at = mounted_.rbegin(); at != mounted_.rend(); ++at)
    act::testing::RunHostProgram({"umount", "-l", *at});
  profiles_.reset();
  fs_.reset();
}

std::string TestDrives::ShellRoot(size_t n) const { return drives_.at(n); }

std::string TestDrives::AddAlias(size_t n) { return mapped_->drives[n].MapAnotherLetter(); }

void TestDrives::MakeFolderLink(const std::string& link, const std::string& target) {
  act::testing::MakeFolderLink(link, target);
}

#else

struct TestDrives::Mapped {};

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

std::string TestDrives::AddAlias(size_t n) {
  const std::string letter = "t";
  std::filesystem::create_directory_symlink("../drive_" + drives_.at(n).substr(0, 1),
                                            prefix_ + "/dosdevices/" + letter + ":");
  return letter + ":";
}

void TestDrives::MakeFolderLink(const std::string& link, const std::string& target) {
  std::filesystem::create_directory_symlink(HostPath(target), HostPath(link));
}

std::string TestDrives::HostPath(const std::string& path) const {
  return DriveMap(prefix_).Resolve(path).host;
}

std::string TestDrives::MountMemory(const std::string& onto) {
  const std::string host = HostPath(onto);
  if (mount("act-test", host.c_str(), "tmpfs", 0, "size=16m") != 0) return std::strerror(errno);
  mounted_.push_back(host);
  return "";
}

std::string TestDrives::MountBind(const std::string& from, const std::string& onto) {
  const std::string host = HostPath(onto);
  if (mount(HostPath(from).c_str(), host.c_str(), nullptr, MS_BIND, nullptr) != 0)
    return std::strerror(errno);
  mounted_.push_back(host);
  return "";
}

void TestDrives::Unmount(const std::string& onto) {
  const std::string host = HostPath(onto);
  auto at = std::find(mounted_.rbegin(), mounted_.rend(), host);
  if (at == mounted_.rend() || umount2(host.c_str(), MNT_DETACH) != 0)
    throw std::runtime_error("cannot unmount " + host);
  mounted_.erase(std::next(at).base());
}

TestDrives::~TestDrives() {
  namespace stdfs = std::filesystem;
  profiles_.reset();
  fs_.reset();
  // Nothing mounted may be left for the removal below to empty.
  for (auto at = mounted_.rbegin(); at != mounted_.rend(); ++at) umount2(at->c_str(), MNT_DETACH);
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
