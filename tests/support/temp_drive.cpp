#include "tests/support/temp_drive.h"

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <stdexcept>

#include "platform/error.h"
#ifdef _WIN32
#include "platform/win32/win32_errors.h"
#endif

namespace act::testing {

#ifdef _WIN32
namespace {

// Wine's mount manager extension, as winecfg uses it to map a drive letter
// to a host folder. Windows has no such call; there DefineDosDevice does.
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct WineUnixDrive {
  ULONG size;
  ULONG type;
  ULONG fs_type;
  DWORD serial;
  ULONGLONG unix_dev;
  WCHAR letter;
  USHORT mount_point_offset;
  USHORT device_offset;
  USHORT label_offset;
};

std::string WineUnixName(const std::wstring& path);

bool WineMapDrive(wchar_t letter, const std::wstring& folder) {
  std::string unix_path;
  if (!folder.empty()) {
    unix_path = WineUnixName(folder);
    if (unix_path.empty()) return false;
  }
  HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  std::vector<char> request(sizeof(WineUnixDrive) + unix_path.size() + 1, '\0');
  auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
  drive->size = static_cast<ULONG>(request.size());
  drive->type = folder.empty() ? DRIVE_NO_ROOT_DIR : DRIVE_FIXED;
  drive->letter = letter;
  if (!folder.empty()) {
    drive->mount_point_offset = sizeof(WineUnixDrive);
    unix_path.copy(request.data() + sizeof(WineUnixDrive), unix_path.size());
  }
  DWORD returned = 0;
  BOOL ok = DeviceIoControl(manager, kDefineUnixDrive, request.data(),
                            static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
  CloseHandle(manager);
  return ok;
}

// The host's name of a Windows path under Wine.
std::string WineUnixName(const std::wstring& path) {
  using GetUnixName = char*(__cdecl*)(const wchar_t*);
  auto get_unix_name = reinterpret_cast<GetUnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* name = get_unix_name ? get_unix_name(path.c_str()) : nullptr;
  if (!name) return "";
  std::string unix_name = name;
  HeapFree(GetProcessHeap(), 0, name);
  return unix_name;
}

bool MapDrive(wchar_t letter, const std::wstring& folder) {
  if (RunningUnderWine()) return WineMapDrive(letter, folder);
  wchar_t device[] = {letter, L':', 0};
  return DefineDosDeviceW(0, device, folder.c_str());
}

void UnmapDrive(wchar_t letter, const std::wstring& folder) {
  if (RunningUnderWine()) {
    WineMapDrive(letter, L"");
    return;
  }
  wchar_t device[] = {letter, L':', 0};
  DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device, folder.c_str());
}

std::wstring WideOf(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

TempDrive::TempDrive() {
  fs_ = NewPlatformFileSystem();
  wchar_t temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) throw std::runtime_error("no temporary folder");
  std::string temp_folder;
  for (DWORD i = 0; i < n; ++i) temp_folder += static_cast<char>(temp[i]);
  static int counter = 0;
  for (int attempt = 0; attempt < 100 && base_.empty(); ++attempt) {
    std::string candidate = temp_folder + "act-drive-" + std::to_string(GetCurrentProcessId()) +
                            "-" + std::to_string(++counter);
    if (CreateDirectoryW(WideOf(candidate).c_str(), nullptr)) base_ = candidate;
  }
  if (base_.empty()) throw std::runtime_error("cannot make a temporary folder");
  root_ = base_;
  const wchar_t letters[] = L"TUVWXYSRQPONM";
  for (const wchar_t* l = letters; *l; ++l) {
    wchar_t root[] = {*l, L':', L'\\', 0};
    if (GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) continue;
    if (GetLogicalDrives() & (1u << (*l - L'A'))) continue;
    if (MapDrive(*l, WideOf(base_)) && GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) {
      drive_ = std::string(1, static_cast<char>(*l - L'A' + 'a')) + ":";
      return;
    }
  }
  fs_->DeleteFolder(base_, true);
  throw std::runtime_error("no free drive letter could be mapped");
}

bool RunningUnderWine() {
  return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

int RunHostProgram(std::vector<std::string> argv) {
  // NTSTATUS __wine_unix_spawnvp(char* const argv[], int wait), stdcall.
  using Spawn = LONG(WINAPI*)(char* const argv[], int wait);
  auto spawn = reinterpret_cast<Spawn>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "__wine_unix_spawnvp")));
  if (!spawn) return -1;
  std::vector<char*> pointers;
  for (std::string& arg : argv) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  return static_cast<int>(spawn(pointers.data(), 1));
}

std::string HostName(const std::string& path) { return WineUnixName(Wide(path)); }

std::string TempDrive::MapAnotherLetter() {
  for (wchar_t letter = L'U'; letter >= L'D'; --letter) {
    wchar_t root[] = {letter, L':', L'\\', 0};
    if (GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) continue;
    if (GetLogicalDrives() & (1u << (letter - L'A'))) continue;
    if (MapDrive(letter, WideOf(base_)) && GetFileAttributesW(root) != INVALID_FILE_ATTRIBUTES) {
      more_letters_.push_back(letter);
      return std::string(1, static_cast<char>(letter - L'A' + 'a')) + ":";
    }
  }
  throw std::runtime_error("no free drive letter could be mapped");
}

void MakeFolderLink(const std::string& link, const std::string& target) {
  const std::wstring wide_link = Wide(link), wide_target = Wide(target);
  // Vista and later; the build targets older systems.
  using CreateLink = BOOLEAN(WINAPI*)(const wchar_t*, const wchar_t*, DWORD);
  auto create_link = reinterpret_cast<CreateLink>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
  const DWORD kDirectory = 1, kUnprivileged = 2;
  if (create_link) create_link(wide_link.c_str(), wide_target.c_str(), kDirectory | kUnprivileged);
  if (GetFileAttributesW(wide_link.c_str()) == INVALID_FILE_ATTRIBUTES && RunningUnderWine()) {
    std::string unix_target = WineUnixName(wide_target);
    // The link does not exist yet, so its folder's host name and its own.
    std::string unix_link = WineUnixName(Wide(link.substr(0, link.find_last_of('\\')))) +
                            "/" + link.substr(link.find_last_of('\\') + 1);
    if (!unix_target.empty()) RunHostProgram({"ln", "-s", unix_target, unix_link});
  }
  const DWORD attributes = GetFileAttributesW(wide_link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    throw std::runtime_error("cannot make a link at " + link);
  }
}

TempDrive::~TempDrive() {
  for (wchar_t letter : more_letters_) UnmapDrive(letter, WideOf(base_));
  UnmapDrive(static_cast<wchar_t>(drive_[0] - 'a' + L'A'), WideOf(base_));
  try {
    fs_->DeleteFolder(base_, true);
  } catch (const Error&) {
  }
}

std::string HostFile(const std::string& posix_path) {
  std::string path = "Z:" + posix_path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

#else  // posix

TempDrive::TempDrive() {
  char pattern[] = "/tmp/act-drive-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("cannot make a temporary folder");
  base_ = pattern;
  prefix_ = base_ + "/prefix";
  root_ = base_ + "/t";
  if (mkdir(prefix_.c_str(), 0777) != 0 || mkdir((prefix_ + "/dosdevices").c_str(), 0777) != 0 ||
      mkdir(root_.c_str(), 0777) != 0 ||
      symlink(root_.c_str(), (prefix_ + "/dosdevices/t:").c_str()) != 0) {
    throw std::runtime_error("cannot make the drive folders in " + base_);
  }
  drive_ = "t:";
  fs_ = NewPlatformFileSystem(prefix_);
}

TempDrive::~TempDrive() {
  try {
    fs_->DeleteFolder(base_, true);
  } catch (const Error&) {
  }
}

std::string HostFile(const std::string& posix_path) { return posix_path; }

#endif

void TempDrive::WriteText(const std::string& relative, const std::string& bytes) {
  fs_->WriteFileBytes(Path(relative), std::vector<uint8_t>(bytes.begin(), bytes.end()));
}

std::string TempDrive::ReadText(const std::string& relative) {
  std::vector<uint8_t> bytes = fs_->ReadFileBytes(Path(relative));
  return std::string(bytes.begin(), bytes.end());
}

void TempDrive::MakeFolders(const std::string& relative) {
  for (size_t at = 1; at <= relative.size(); ++at) {
    if (at == relative.size() || relative[at] == '\\') {
      std::string folder = Path(relative.substr(0, at));
      if (!fs_->FolderExists(folder)) fs_->CreateFolder(folder);
    }
  }
}

}  // namespace act::testing
