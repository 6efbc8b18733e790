// libFuzzer target: the profile-file model on arbitrary files and names.
// The input is "section \0 key \0 value \0 file bytes"; missing parts are
// empty.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/ini_file.h"
#include "tests/support/bytes.h"

using act::test::NextPart;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string section = act::Cp1252ToUtf16(NextPart(data, size));
  std::u16string key = act::Cp1252ToUtf16(NextPart(data, size));
  std::u16string value = act::Cp1252ToUtf16(NextPart(data, size));
  act::IniFile file = act::IniFile::Parse(std::vector<uint8_t>(data, data + size));
  file.Get(section, key, 255);
  file.Get(section, key, 1);
  file.Set(section, key, value);
  std::vector<uint8_t> saved = file.Serialize();
  act::IniFile again = act::IniFile::Parse(saved);
  again.Get(section, key, 255);
  // UTF-8 conversions at the program's side of the boundary.
  std::string text(reinterpret_cast<const char*>(data), size);
  act::Utf16ToUtf8(act::Utf8ToUtf16(text));
  act::Utf8ToCp1252(act::Cp1252ToUtf8(text));
  return 0;
}
