// The file-system service on Windows: the W functions of kernel32, with the
// FileSystemObject's rules for copies and moves built on CopyFileW and
// MoveFileExW, and the version record through the version library, loaded
// from the system folder (platform/win32/system_library.h).
//
// Windows refuses to open a read-only file for writing, but Wine run by the
// superuser does not; so writes check the read-only attribute first, which
// makes both behave as Windows does.
#include <windows.h>

#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/win32/system_library.h"
#include "platform/win32/win32_errors.h"
#include "platform/win32/win32_file_lock.h"

namespace act {
namespace {

constexpr DWORD kFileAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

DWORD AttributesOf(const std::string& path) { return GetFileAttributesW(Wide(path).c_str()); }

bool IsFolder(const std::string& path) {
  DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path) {
  DWORD a = AttributesOf(path);
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder part of a path as the caller wrote it: "c:\a" for "c:\a\b",
// "c:\" for "c:\b", "c:" for "c:b".
std::string ParentText(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  size_t cut = path.find_last_of("\\/", end == 0 ? 0 : end - 1);
  bool has_drive = path.size() >= 2 && path[1] == ':';
  if (cut == std::string::npos || (end > 0 && cut >= end)) return has_drive ? path.substr(0, 2) : ".";
  size_t keep = cut;
  while (keep > 0 && IsSeparator(path[keep - 1])) --keep;
  if (keep == 0 || (has_drive && keep == 2)) return path.substr(0, keep + 1);
  return path.substr(0, keep);
}

std::string LastName(const std::string& path) {
  size_t end = path.size();
  while (end > 0 && IsSeparator(path[end - 1])) --end;
  size_t cut = path.find_last_of("\\/:", end == 0 ? 0 : end - 1);
  size_t start = cut == std::string::npos ? 0 : cut + 1;
  return path.substr(start, end - start);
}

std::string Join(const std::string& folder, const std::string& name) {
  if (!folder.empty() && IsSeparator(folder.back())) return folder + name;
  return folder + "\\" + name;
}

std::wstring FullPath(const std::string& path) {
  std::wstring wide = Wide(path);
  DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return wide;
  std::wstring full(n, L'\0');
  n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  full.resize(n);
  while (!full.empty() && full.back() == L'\\') full.pop_back();
  CharUpperBuffW(full.data(), static_cast<DWORD>(full.size()));
  return full;
}

// A path on a drive letter that leads nowhere is a missing path, not a
// missing file, whatever the operation looked for.
int MissingNumber(const std::string& path, int not_found) {
  if (path.size() >= 2 && path[1] == ':') {
    std::string root = path.substr(0, 2) + "\\";
    if (GetFileAttributesW(Wide(root).c_str()) == INVALID_FILE_ATTRIBUTES) return kErrPathNotFound;
  }
  return not_found;
}

[[noreturn]] void FailLast(const std::string& path, int not_found) {
  DWORD code = GetLastError();
  if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
    throw Error(MissingNumber(path, code == ERROR_FILE_NOT_FOUND ? not_found : kErrPathNotFound),
                path);
  }
  ThrowWin32Error(code, path, not_found);
}

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) CloseHandle(h_);
  }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// The version library is no known DLL: it comes from the system folder.
struct VersionFunctions {
  decltype(&GetFileVersionInfoSizeW) info_size;
  decltype(&GetFileVersionInfoW) info;
  decltype(&VerQueryValueW) query;
};

const VersionFunctions& Version() {
  static const VersionFunctions functions = {
      SystemFunction<decltype(&GetFileVersionInfoSizeW)>(L"version.dll", "GetFileVersionInfoSizeW"),
      SystemFunction<decltype(&GetFileVersionInfoW)>(L"version.dll", "GetFileVersionInfoW"),
      SystemFunction<decltype(&VerQueryValueW)>(L"version.dll", "VerQueryValueW")};
  if (!functions.info_size || !functions.info || !functions.query) {
    throw Error(kErrFileNotFound, "version.dll in the system folder");
  }
  return functions;
}

struct FolderIdentity {
  DWORD volume_serial = 0, index_high = 0, index_low = 0;
  bool operator==(const FolderIdentity&) const = default;
};

// Opening a folder takes FILE_FLAG_BACKUP_SEMANTICS; no access is asked
// for, so that any folder the program can see can be told.
bool IdentityOf(const std::wstring& folder, FolderIdentity& identity) {
  Handle handle(CreateFileW(folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle.valid() || !GetFileInformationByHandle(handle.get(), &info) ||
      !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return false;
  }
  identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
  return true;
}

class Win32RandomAccessFile : public RandomAccessFile {
 public:
  Win32RandomAccessFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
  ~Win32RandomAccessFile() override { CloseHandle(h_); }

  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    size_t done = 0;
    while (done < n) {
      Seek(offset + done);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30)), got = 0;
      if (!ReadFile(h_, static_cast<char*>(buffer) + done, chunk, &got, nullptr)) {
        FailLast(path_, kErrFileNotFound);
      }
      if (got == 0) break;
      done += got;
    }
    return done;
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    size_t done = 0;
    while (done < n) {
      Seek(offset + done);
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30)), put = 0;
      if (!WriteFile(h_, static_cast<const char*>(data) + done, chunk, &put, nullptr)) {
        FailLast(path_, kErrFileNotFound);
      }
      done += put;
    }
  }
  uint64_t Size() override {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h_, &size)) FailLast(path_, kErrFileNotFound);
    return static_cast<uint64_t>(size.QuadPart);
  }
  void Truncate(uint64_t size) override {
    Seek(size);
    if (!SetEndOfFile(h_)) FailLast(path_, kErrFileNotFound);
  }
  void Sync() override {
    if (!FlushFileBuffers(h_)) FailLast(path_, kErrFileNotFound);
  }
  const std::string& path() const override { return path_; }

 private:
  void Seek(uint64_t offset) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(h_, at, nullptr, FILE_BEGIN)) FailLast(path_, kErrFileNotFound);
  }

  HANDLE h_;
  std::string path_;
};

class Win32FileSystem : public FileSystem {
 public:
  bool FolderExists(const std::string& path) override { return IsFolder(path); }
  bool FileExists(const std::string& path) override { return IsFile(path); }

  void CopyFile(const std::string& source, const std::string& destination,
                bool overwrite) override {
    RequireFile(source);
    std::string target = CopyTarget(source, destination);
    if (IsFolder(target)) throw Error(kErrPermissionDenied, target);
    CopyOneFile(source, target, overwrite);
  }

  void CopyFolder(const std::string& source, const std::string& destination,
                  bool overwrite) override {
    RequireFolder(source);
    std::string target = CopyTarget(source, destination);
    if (IsFile(target)) throw Error(kErrFileAlreadyExists, target);
    // Copying a folder into itself would never end.
    std::wstring from = FullPath(source), to = FullPath(target);
    if (to == from || to.rfind(from + L"\\", 0) == 0) throw Error(kErrPermissionDenied, target);
    std::vector<FolderIdentity> walk;
    CopyTree(source, target, overwrite, walk);
  }

  void MoveFolder(const std::string& source, const std::string& destination) override {
    RequireFolder(source);
    Move(source, destination);
  }

  void MoveFile(const std::string& source, const std::string& destination) override {
    RequireFile(source);
    Move(source, destination);
  }

  void ReplaceFile(const std::string& replaced, const std::string& replacement) override {
    RequireFile(replaced);
    RequireFile(replacement);
    if (FullPath(ParentText(replaced)) != FullPath(ParentText(replacement))) {
      throw Error(kErrPathFileAccess, replacement);
    }
    // ReplaceFileW gives the new file the old one's security and creation
    // time, and is one rename on the volume: the name holds one file or the
    // other whatever stops it. NTFS journals the entry. The attributes it
    // does not promise to keep (Wine keeps none) go over first, read-only
    // after, as a read-only file could not take the old one's place.
    const DWORD attributes = AttributesOf(replaced) & kFileAttributes;
    const DWORD writable = attributes & ~FILE_ATTRIBUTE_READONLY;
    const DWORD first = writable ? writable : FILE_ATTRIBUTE_NORMAL;
    if (!SetFileAttributesW(Wide(replacement).c_str(), first)) {
      FailLast(replacement, kErrFileNotFound);
    }
    if (!::ReplaceFileW(Wide(replaced).c_str(), Wide(replacement).c_str(), nullptr,
                        REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
      FailLast(replaced, kErrFileNotFound);
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) &&
        !SetFileAttributesW(Wide(replaced).c_str(), attributes)) {
      FailLast(replaced, kErrFileNotFound);
    }
  }

  void DeleteFolder(const std::string& path, bool force) override {
    RequireFolder(path);
    RemoveTree(path, force);
  }

  void DeleteFile(const std::string& path, bool force) override {
    RequireFile(path);
    RemoveFile(path, force);
  }

  void CreateFolder(const std::string& path) override {
    if (AttributesOf(path) != INVALID_FILE_ATTRIBUTES) throw Error(kErrFileAlreadyExists, path);
    if (!IsFolder(ParentText(path))) throw Error(kErrPathNotFound, path);
    if (!CreateDirectoryW(Wide(path).c_str(), nullptr)) FailLast(path, kErrPathNotFound);
  }

  FileStamp GetFileStamp(const std::string& path) override {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      throw Error(MissingNumber(path, kErrFileNotFound), path);
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    FileStamp stamp;
    stamp.size = uint64_t(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
    stamp.modified = int64_t(uint64_t(data.ftLastWriteTime.dwHighDateTime) << 32 |
                             data.ftLastWriteTime.dwLowDateTime);
    int64_t now_ticks = int64_t(uint64_t(now.dwHighDateTime) << 32 | now.dwLowDateTime);
    // Three seconds in 100 ns ticks: past FAT's two-second times.
    stamp.settled = now_ticks - stamp.modified > 30'000'000;
    return stamp;
  }

  uint32_t GetAttributes(const std::string& path) override {
    RequireFile(path);
    return AttributesOf(path) & kFileAttributes;
  }

  void SetAttributes(const std::string& path, uint32_t attributes) override {
    RequireFile(path);
    DWORD value = attributes & kFileAttributes;
    if (!SetFileAttributesW(Wide(path).c_str(), value ? value : FILE_ATTRIBUTE_NORMAL)) {
      FailLast(path, kErrFileNotFound);
    }
  }

  std::string GetFileVersion(const std::string& path) override {
    RequireFile(path);
    const VersionFunctions& version = Version();
    std::wstring wide = Wide(path);
    DWORD ignored = 0;
    DWORD size = version.info_size(wide.c_str(), &ignored);
    if (size == 0) return "";
    std::vector<char> record(size);
    if (!version.info(wide.c_str(), 0, size, record.data())) return "";
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixed_size = 0;
    if (!version.query(record.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixed_size) ||
        fixed == nullptr || fixed_size < sizeof(VS_FIXEDFILEINFO) ||
        fixed->dwSignature != 0xFEEF04BD) {
      return "";
    }
    return std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(fixed->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(fixed->dwFileVersionLS));
  }

  std::vector<uint8_t> ReadFileBytes(const std::string& path) override {
    Handle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) FailLast(path, kErrFileNotFound);
    std::vector<uint8_t> bytes;
    char buffer[1 << 16];
    while (true) {
      DWORD got = 0;
      if (!ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr)) {
        FailLast(path, kErrFileNotFound);
      }
      if (got == 0) break;
      bytes.insert(bytes.end(), buffer, buffer + got);
    }
    return bytes;
  }

  void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& data) override {
    DWORD a = AttributesOf(path);
    if (a != INVALID_FILE_ATTRIBUTES &&
        (a & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
      throw Error(kErrPermissionDenied, path);
    }
    Handle file(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) FailLast(path, kErrPathNotFound);
    for (size_t done = 0; done < data.size();) {
      DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 30)), put = 0;
      if (!WriteFile(file.get(), data.data() + done, chunk, &put, nullptr)) {
        FailLast(path, kErrPathNotFound);
      }
      done += put;
    }
  }

  std::unique_ptr<RandomAccessFile> OpenRandomAccess(const std::string& path,
                                                     bool writable) override {
    DWORD a = AttributesOf(path);
    if (writable && a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
      throw Error(kErrPermissionDenied, path);
    }
    DWORD access = GENERIC_READ | (writable ? GENERIC_WRITE : 0);
    HANDLE h = CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) FailLast(path, kErrFileNotFound);
    return std::make_unique<Win32RandomAccessFile>(h, path);
  }

  std::unique_ptr<RandomAccessFile> CreateRandomAccess(const std::string& path) override {
    HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                           nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) FailLast(path, kErrPathNotFound);
    return std::make_unique<Win32RandomAccessFile>(h, path);
  }

  void FlushFolder(const std::string& path) override {
    RequireFolder(path);
    FlushTree(path);
  }

  std::unique_ptr<FileLock> LockFile(const std::string& path, uint64_t first_byte,
                                     uint64_t bytes) override {
    return LockWindowsFile(path, first_byte, bytes);
  }

  std::vector<std::string> ListFolder(const std::string& path) override {
    RequireFolder(path);
    std::vector<std::string> names;
    ForEachEntry(path, [&](const WIN32_FIND_DATAW& entry) { names.push_back(Narrow(entry.cFileName)); });
    return names;
  }

  std::optional<uint64_t> FreeSpace(const std::string& path) override {
    // The drive's root: the path itself need not exist yet.
    std::string root = path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "\\" : path;
    ULARGE_INTEGER available;
    if (!GetDiskFreeSpaceExW(Wide(root).c_str(), &available, nullptr, nullptr)) return std::nullopt;
    return available.QuadPart;
  }

  std::optional<uint64_t> AllocationUnit(const std::string& path) override {
    std::string root = path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) + "\\" : path;
    DWORD sectors_per_cluster = 0, bytes_per_sector = 0, free_clusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceW(Wide(root).c_str(), &sectors_per_cluster, &bytes_per_sector,
                           &free_clusters, &clusters) ||
        sectors_per_cluster * bytes_per_sector == 0)
      return std::nullopt;
    return uint64_t(sectors_per_cluster) * bytes_per_sector;
  }

  void SetCopyProgress(std::function<void(const std::string&, uint64_t)> copied) override {
    copy_progress_ = std::move(copied);
  }

  // A folder is what its volume's serial number and its file index say,
  // whichever drive letter, share, short name or junction reached it. The
  // folders above the path are those its text names, taking off its last
  // names one by one (a junction along the path is not seen through).
  bool IsSameOrInsideFolder(const std::string& path, const std::string& folder) override {
    FolderIdentity outer;
    if (!IdentityOf(Wide(folder), outer)) return false;
    std::wstring at = Wide(path);
    std::wstring full(MAX_PATH, L'\0');
    DWORD n = GetFullPathNameW(at.c_str(), MAX_PATH, full.data(), nullptr);
    if (n == 0 || n >= MAX_PATH) return false;
    at.assign(full.c_str(), n);
    for (FolderIdentity inner; IdentityOf(at, inner);) {
      if (inner == outer) return true;
      while (at.size() > 3 && at.back() == L'\\') at.pop_back();
      size_t cut = at.find_last_of(L'\\');
      if (cut == std::wstring::npos || cut + 1 == at.size()) return false;
      // "C:\a" gives "C:\", the drive's root.
      at.erase(cut == 2 && at[1] == L':' ? cut + 1 : cut);
    }
    return false;
  }

 private:
  // FlushFileBuffers wants a handle with write access, which a read-only
  // file refuses; such a file is made writable for the moment of the flush.
  // Folder entries need nothing: NTFS journals them.
  static void FlushTree(const std::string& folder) {
    std::vector<std::string> files, folders;
    ForEachEntry(folder, [&](const WIN32_FIND_DATAW& entry) {
      std::string child = Join(folder, Narrow(entry.cFileName));
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) folders.push_back(child);
      else files.push_back(child);
    });
    for (const std::string& file : files) FlushFile(file);
    for (const std::string& child : folders) FlushTree(child);
  }

  static void FlushFile(const std::string& path) {
    const std::wstring wide = Wide(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) FailLast(path, kErrFileNotFound);
    const bool read_only = attributes & FILE_ATTRIBUTE_READONLY;
    if (read_only && !SetFileAttributesW(wide.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      FailLast(path, kErrFileNotFound);
    }
    bool flushed = false;
    DWORD code = 0;
    {
      Handle file(CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
      flushed = file.valid() && FlushFileBuffers(file.get());
      if (!flushed) code = GetLastError();
    }
    if (read_only) SetFileAttributesW(wide.c_str(), attributes);
    if (!flushed) {
      SetLastError(code);
      FailLast(path, kErrFileNotFound);
    }
  }

  static void RequireFile(const std::string& path) {
    if (!IsFile(path)) throw Error(MissingNumber(path, kErrFileNotFound), path);
  }

  static void RequireFolder(const std::string& path) {
    if (!IsFolder(path)) throw Error(kErrPathNotFound, path);
  }

  // Where a copy or move lands: inside the destination folder when the
  // destination ends in a backslash (the folder must exist), else at the
  // destination itself (its parent must exist).
  static std::string CopyTarget(const std::string& source, const std::string& destination) {
    if (!destination.empty() && IsSeparator(destination.back())) {
      if (!IsFolder(destination)) throw Error(kErrPathNotFound, destination);
      return destination + LastName(source);
    }
    if (!IsFolder(ParentText(destination))) throw Error(kErrPathNotFound, destination);
    return destination;
  }

  template <typename Visit>
  static void ForEachEntry(const std::string& folder, Visit visit) {
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW(Wide(Join(folder, "*")).c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE) {
      if (GetLastError() == ERROR_FILE_NOT_FOUND) return;
      FailLast(folder, kErrPathNotFound);
    }
    do {
      if (wcscmp(entry.cFileName, L".") != 0 && wcscmp(entry.cFileName, L"..") != 0) visit(entry);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
  }

  // What CopyFileExW's progress routine needs: the file, and how far the
  // copy was when it last told.
  struct CopyWatch {
    const std::function<void(const std::string&, uint64_t)>& copied;
    const std::string& file;
    uint64_t told = 0;
  };
  static DWORD CALLBACK CopyProgressed(LARGE_INTEGER, LARGE_INTEGER transferred, LARGE_INTEGER,
                                       LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID data) {
    CopyWatch& watch = *static_cast<CopyWatch*>(data);
    const uint64_t done = uint64_t(transferred.QuadPart);
    if (done > watch.told) watch.copied(watch.file, done - watch.told);
    watch.told = done;
    return PROGRESS_CONTINUE;
  }

  void CopyOneFile(const std::string& from, const std::string& to, bool overwrite) {
    DWORD a = AttributesOf(to);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
      throw Error(overwrite ? kErrPermissionDenied : kErrFileAlreadyExists, to);
    }
    CopyWatch watch{copy_progress_, to};
    if (!CopyFileExW(Wide(from).c_str(), Wide(to).c_str(),
                     copy_progress_ ? CopyProgressed : nullptr, &watch, nullptr,
                     overwrite ? 0 : COPY_FILE_FAIL_IF_EXISTS)) {
      FailLast(to, kErrFileNotFound);
    }
    // Wine's CopyFileExW never calls the routine: the whole file, once done.
    if (copy_progress_ && watch.told == 0) {
      const uint64_t size = GetFileStamp(to).size;
      if (size > 0) copy_progress_(to, size);
    }
  }

  // `walk` holds the folders the copy came through to reach `from`. A
  // junction or link back to one of them would make the copy endless (until
  // the path grew too long); it fails at once instead.
  void CopyTree(const std::string& from, const std::string& to, bool overwrite,
                std::vector<FolderIdentity>& walk) {
    FolderIdentity self;
    if (!IdentityOf(Wide(from), self)) FailLast(from, kErrPathNotFound);
    for (const FolderIdentity& outer : walk) {
      if (outer == self)
        throw Error(kErrPathFileAccess, from + " (a link there leads back into the folders above it)");
    }
    walk.push_back(self);
    if (!IsFolder(to) && !CreateDirectoryW(Wide(to).c_str(), nullptr)) {
      FailLast(to, kErrPathNotFound);
    }
    struct Entry {
      std::string name;
      bool folder;
    };
    std::vector<Entry> entries;
    ForEachEntry(from, [&](const WIN32_FIND_DATAW& entry) {
      entries.push_back({Narrow(entry.cFileName),
                         (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    });
    for (const auto& [name, folder] : entries) {
      std::string child_from = Join(from, name), child_to = Join(to, name);
      if (folder) {
        if (IsFile(child_to)) throw Error(kErrFileAlreadyExists, child_to);
        CopyTree(child_from, child_to, overwrite, walk);
      } else {
        if (IsFolder(child_to)) throw Error(kErrPermissionDenied, child_to);
        CopyOneFile(child_from, child_to, overwrite);
      }
    }
    walk.pop_back();
  }

  static void Move(const std::string& source, const std::string& destination) {
    std::string target = CopyTarget(source, destination);
    // Only a new letter case for the same entry may move onto an existing name.
    if (AttributesOf(target) != INVALID_FILE_ATTRIBUTES && FullPath(target) != FullPath(source)) {
      throw Error(kErrFileAlreadyExists, target);
    }
    // Write-through: the move is on the disk when the call returns, not
    // when the cache manager gets to it.
    if (!MoveFileExW(Wide(source).c_str(), Wide(target).c_str(), MOVEFILE_WRITE_THROUGH)) {
      FailLast(target, kErrPathNotFound);
    }
  }

  static void RemoveFile(const std::string& path, bool force) {
    DWORD a = AttributesOf(path);
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
      if (!force) throw Error(kErrPermissionDenied, path);
      SetFileAttributesW(Wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    if (!DeleteFileW(Wide(path).c_str())) FailLast(path, kErrFileNotFound);
  }

  // A junction or a folder's symbolic link goes as a link, the folder
  // itself too when it is one: RemoveDirectoryW takes the link away and
  // leaves what it leads to, which may be the customer's own, outside the
  // product. A file's symbolic link is a file to DeleteFileW.
  static void RemoveTree(const std::string& path, bool force) {
    const DWORD a = AttributesOf(path);
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_REPARSE_POINT)) {
      std::vector<std::pair<std::string, bool>> entries;
      ForEachEntry(path, [&](const WIN32_FIND_DATAW& entry) {
        entries.emplace_back(Narrow(entry.cFileName),
                             (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
      });
      for (const auto& [name, folder] : entries) {
        std::string child = Join(path, name);
        if (folder) {
          RemoveTree(child, force);
        } else {
          RemoveFile(child, force);
        }
      }
    }
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY)) {
      SetFileAttributesW(Wide(path).c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    }
    if (!RemoveDirectoryW(Wide(path).c_str())) FailLast(path, kErrPathNotFound);
  }

  std::function<void(const std::string&, uint64_t)> copy_progress_;
};

}  // namespace

std::string DrivePathOf(const std::string& folder, const std::string&, const std::string&) {
  return folder;
}

std::unique_ptr<FileSystem> NewPlatformFileSystem(const std::string&) {
  return std::make_unique<Win32FileSystem>();
}

}  // namespace act
