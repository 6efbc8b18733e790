// The shell services that the installation drive discovery and the drive
// list need: the paths of special folders, the target of a shortcut and
// the machine's drives.
//
// win32: shell32 and the shell's own shortcut object. posix: the files of
// a Wine-style prefix (its registry files and its drive mapping) and our own
// shortcut reader.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace act {

class FileSystem;

// Folder numbers of the shell (CSIDL_...).
enum SpecialFolder : int {
  kCsidlStartup = 7,          // the current user's Startup folder
  kCsidlCommonStartup = 24,   // the Startup folder shared by all users
};

class Shell {
 public:
  virtual ~Shell() = default;

  // The folder's path, e.g. "C:\...\Start Menu\Programs\StartUp", or the
  // empty text when the platform cannot give it. Never fails.
  virtual std::string SpecialFolderPath(int csidl) = 0;

  // The target path of the shortcut file at `path`, as the shell reports it;
  // the empty text when no file exists there or the shortcut has no target.
  // A file that exists but cannot be read as a shortcut throws act::Error.
  virtual std::string ShortcutTarget(const std::string& path) = 0;

  // The machine's drives, as their roots in lower case ("a:\", "c:\"),
  // in letter order.
  virtual std::vector<std::string> Drives() = 0;

  // A text to show beside the drive's letter in a drive list, such as the
  // volume label; may be empty.
  virtual std::string DriveLabel(const std::string& root) = 0;
};

// win32: the platform's shell (the arguments are ignored).
// posix: the prefix at prefix_dir, else $WINEPREFIX, else ~/.wine; shortcut
// files are read through `fs`, which must outlive the shell and resolve the
// same prefix's drives.
std::unique_ptr<Shell> NewPlatformShell(FileSystem& fs, const std::string& prefix_dir = "");

}  // namespace act
