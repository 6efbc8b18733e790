#include "ui/window/picture.h"

#include <cstring>
#include <memory>
#include <vector>

#include "platform/error.h"

namespace act {
namespace {

constexpr int kErrInvalidPicture = 481;
constexpr uint64_t kLargestPicture = 64 << 20;

}  // namespace

Picture::~Picture() {
  if (picture_) picture_->Release();
}

void Picture::LoadFile(FileSystem& fs, const std::string& path) {
  std::unique_ptr<RandomAccessFile> file = fs.OpenRandomAccess(path, false);
  // Anyone may have written the medium: a picture larger than any the
  // window could show is refused rather than read whole into memory.
  const uint64_t size = file->Size();
  if (size >= kLargestPicture) throw Error(kErrInvalidPicture, "Invalid picture", path);
  std::vector<char> bytes(static_cast<size_t>(size));
  if (file->ReadAt(0, bytes.data(), bytes.size()) != bytes.size()) throw Error(kErrDeviceIO, path);
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
