// The fixed file version of a Windows executable, read straight from its
// bytes: the PE headers lead to the resource directory, the resource
// directory to the version record (RT_VERSION), and the record's
// VS_FIXEDFILEINFO gives the four numbers. Used where GetFileVersionInfo is
// not available; both PE32 and PE32+ images are understood.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace act {

// "major.minor.build.revision" from dwFileVersionMS/LS, or the empty text
// when the bytes are not a PE image, have no version record or are cut
// short. Every read is bounds-checked: any input is safe.
std::string ReadPeFileVersion(std::span<const uint8_t> image);

}  // namespace act
