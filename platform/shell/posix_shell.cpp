// The shell of a Wine-style prefix, for the builds without Windows: the
// special folders come from the prefix's registry files, the drives from
// its dosdevices folder, and shortcuts are read by our own reader through
// the file-system service, which maps the prefix's drives to host folders.
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <algorithm>

#include "platform/cp1252.h"
#include "platform/file_system.h"
#include "platform/lnk/shell_link.h"
#include "platform/posix/drive_map.h"
#include "platform/shell/registry_file.h"
#include "platform/shell/shell.h"

namespace act {
namespace {

constexpr const char* kShellFoldersKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class PosixShell : public Shell {
 public:
  PosixShell(FileSystem& fs, std::filesystem::path prefix) : fs_(fs), prefix_(std::move(prefix)) {}

  std::string SpecialFolderPath(int csidl) override {
    // The per-user folders live in the user's hive, the shared ones in the
    // machine's; both under the same key.
    const char* file = nullptr;
    const char* value = nullptr;
    if (csidl == kCsidlStartup) {
      file = "user.reg";
      value = "Startup";
    } else if (csidl == kCsidlCommonStartup) {
      file = "system.reg";
      value = "Common Startup";
    } else {
      return "";
    }
    auto path = FindRegistryString(ReadHostFile(prefix_ / file), kShellFoldersKey, value);
    // The path reaches the program through an ANSI buffer: what the code
    // page cannot hold comes back as '?', as from SHGetPathFromIDListA.
    return Cp1252ToUtf8(Utf8ToCp1252(path.value_or("")));
  }

  std::string ShortcutTarget(const std::string& path) override {
    if (!fs_.FileExists(path)) return "";
    return lnk::TargetPath(lnk::ParseShellLink(fs_.ReadFileBytes(path), path));
  }

  std::vector<std::string> Drives() override {
    std::vector<std::string> drives;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(prefix_ / "dosdevices", ec)) {
      std::string name = entry.path().filename().string();
      if (name.size() == 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]))) {
        name[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(name[0])));
        drives.push_back(name + "\\");
      }
    }
    std::sort(drives.begin(), drives.end());
    return drives;
  }

  std::string DriveLabel(const std::string&) override { return ""; }

 private:
  FileSystem& fs_;
  std::filesystem::path prefix_;
};

}  // namespace

std::unique_ptr<Shell> NewPlatformShell(FileSystem& fs, const std::string& prefix_dir) {
  return std::make_unique<PosixShell>(fs, WinePrefix(prefix_dir));
}

}  // namespace act
