// libFuzzer target: the version reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "platform/pe_version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  act::ReadPeFileVersion(std::span<const uint8_t>(data, size));
  return 0;
}
