// libFuzzer target for the shortcut reader: any bytes must give a target or
// an act::Error, never a crash or a read outside the buffer.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/error.h"
#include "platform/lnk/shell_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> bytes(data, data + size);
  try {
    act::lnk::TargetPath(act::lnk::ParseShellLink(bytes, "fuzz.lnk"));
  } catch (const act::Error&) {
  }
  return 0;
}
