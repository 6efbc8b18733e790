#include "ui/window/picture.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/error.h"
#include "platform/win32/win32_errors.h"

namespace act {
namespace {

constexpr int kErrInvalidPicture = 481;

}  // namespace

Picture::~Picture() {
  if (picture_) picture_->Release();
}

void Picture::LoadFile(const std::string& path) {
  std::wstring wide = Wide(path);
  HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD code = GetLastError();
    if (code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION)
      throw Error(kErrPermissionDenied, path);
    throw Error(code == ERROR_PATH_NOT_FOUND ? kErrPathNotFound : kErrFileNotFound, path);
  }
  std::vector<char> bytes;
  LARGE_INTEGER size{};
  bool read_ok = GetFileSizeEx(file, &size) && size.QuadPart < (64 << 20);
  if (read_ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    read_ok = bytes.empty() ||
              (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
               got == bytes.size());
  }
  CloseHandle(file);
  if (!read_ok) throw Error(kErrDeviceIO, path);
  if (!LoadBytes(bytes.data(), bytes.size()))
    throw Error(kErrInvalidPicture, "Invalid picture", path);
}

void Picture::LoadResource(int id) {
  HRSRC resource = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  HGLOBAL handle = resource ? ::LoadResource(nullptr, resource) : nullptr;
  const void* bytes = handle ? LockResource(handle) : nullptr;
  if (!bytes || !LoadBytes(bytes, SizeofResource(nullptr, resource)))
    throw Error(kErrInvalidPicture, "Invalid picture", "resource " + std::to_string(id));
}

bool Picture::LoadBytes(const void* bytes, size_t size) {
  if (size == 0) return false;
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!memory) throw Error(kErrOutOfMemory, "");
  std::memcpy(GlobalLock(memory), bytes, size);
  GlobalUnlock(memory);
  IStream* stream = nullptr;
  if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
    GlobalFree(memory);
    throw Error(kErrOutOfMemory, "");
  }
  IPicture* picture = nullptr;
  HRESULT hr = OleLoadPicture(stream, static_cast<LONG>(size), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&picture));
  stream->Release();
  if (FAILED(hr) || !picture) return false;
  if (picture_) picture_->Release();
  picture_ = picture;
  return true;
}

void Picture::DrawStretched(HDC dc, const RECT& rect) const {
  if (!picture_) return;
  OLE_XSIZE_HIMETRIC width = 0;
  OLE_YSIZE_HIMETRIC height = 0;
  picture_->get_Width(&width);
  picture_->get_Height(&height);
  // Smooth scaling: the logo is squeezed to a tenth of its size.
  int old_mode = SetStretchBltMode(dc, HALFTONE);
  SetBrushOrgEx(dc, 0, 0, nullptr);
  // Pictures are measured bottom-up in HIMETRIC: start at the top edge and
  // go down by a negative height.
  picture_->Render(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, 0,
                   height, width, -height, nullptr);
  SetStretchBltMode(dc, old_mode);
}

}  // namespace act
