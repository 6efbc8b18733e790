// A drive of its own for one test: a fresh, empty folder that the platform's
// file-system service sees as a drive letter, so that tests work with the
// Windows paths the program builds ("t:\zentaroDeck\...").
//
// posix: a private Wine-style prefix whose dosdevices/t: links to the
// folder. Windows: the folder mapped to a free drive letter (through Wine's
// mount manager when running under Wine, DefineDosDevice otherwise).
// Everything is removed when the object goes, read-only files included.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"

namespace act::testing {

class TempDrive {
 public:
  // Throws std::runtime_error when no drive can be made.
  TempDrive();
  ~TempDrive();
  TempDrive(const TempDrive&) = delete;
  TempDrive& operator=(const TempDrive&) = delete;

  // The drive as the program names it, e.g. "t:" (no trailing separator).
  const std::string& drive() const { return drive_; }
  // drive() followed by a relative path that begins with a backslash.
  std::string Path(const std::string& relative) const { return drive_ + relative; }
  // A file-system service that sees this drive.
  FileSystem& fs() { return *fs_; }
  // The drive's root folder as the host names it (posix: a host path;
  // Windows: a Windows path of the folder behind the letter).
  const std::string& root() const { return root_; }
  // posix: the prefix folder to pass to NewPlatformFileSystem; Windows: "".
  const std::string& prefix() const { return prefix_; }

  // Conveniences for preparing and checking files through fs().
  void WriteText(const std::string& relative, const std::string& bytes);
  std::string ReadText(const std::string& relative);
  void MakeFolders(const std::string& relative);  // each missing level

#ifdef _WIN32
  // One more free drive letter for the same folder, as subst or a second
  // mapping of one share gives: "u:". Unmapped when the drive goes.
  std::string MapAnotherLetter();
#endif

 private:
  std::string drive_, root_, prefix_, base_;
  std::unique_ptr<FileSystem> fs_;
  std::vector<wchar_t> more_letters_;
};

#ifdef _WIN32
// A symbolic link at `link` to the folder `target` (Windows paths), as an
// operator might have made one. CreateSymbolicLinkW makes it on Windows.
// Wine 8 makes none with the Windows API (CreateSymbolicLinkW answers TRUE
// and creates nothing; FSCTL_SET_REPARSE_POINT, which makes junctions,
// fails with ERROR_NOT_SUPPORTED), so under Wine the link is a symbolic
// link of the host, which Wine shows as a folder with
// FILE_ATTRIBUTE_REPARSE_POINT. Throws std::runtime_error when no link
// could be made.
void MakeFolderLink(const std::string& link, const std::string& target);

// Whether this Windows program runs under Wine.
bool RunningUnderWine();

// Under Wine: runs a program of the host (found on its PATH) and waits for
// it. 0 when it ran and succeeded; otherwise not 0 (-1 when not under Wine).
int RunHostProgram(std::vector<std::string> argv);

// Under Wine: the host's name of an existing Windows path; empty when none.
std::string HostName(const std::string& path);
#endif

// A path the build gave as a host (posix) path, e.g. a file in the build
// folder, as this program must name it: unchanged on posix, "Z:\..." under
// Wine.
std::string HostFile(const std::string& posix_path);

}  // namespace act::testing
