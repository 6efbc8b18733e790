// Pictures for the image controls: JPEG (and the other formats OLE's
// picture loader knows) read into an IPicture, and drawn stretched to a
// rectangle like an image control with stretch on.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <string>

#include "platform/file_system.h"

namespace act {

class Picture {
 public:
  Picture() = default;
  ~Picture();
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // Loads the file at `path` as given, read through `fs`. Throws act::Error
  // 53 when it is missing and 481 (Invalid picture) when it cannot be read
  // as a picture, naming the file.
  void LoadFile(FileSystem& fs, const std::string& path);
  // Loads a picture held as an RCDATA resource of this program.
  void LoadResource(int id);

  bool empty() const { return picture_ == nullptr; }
  // Draws the whole picture into `rect`, without keeping its proportions.
  void DrawStretched(HDC dc, const RECT& rect) const;

 private:
  // Takes the bytes into a stream for OleLoadPicture; false when OLE cannot
  // make a picture of them.
  bool LoadBytes(const void* bytes, size_t size);

  IPicture* picture_ = nullptr;
};

}  // namespace act
