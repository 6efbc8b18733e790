#include "db/jet/file/page.h"

#include "db/errors.h"

namespace act::db::jet {

const uint8_t* Page::Check(size_t offset, size_t n) const {
  if (offset > bytes_.size() || n > bytes_.size() - offset) {
    Fail("reference to bytes " + std::to_string(offset) + ".." + std::to_string(offset + n) +
         " outside the page");
  }
  return bytes_.data() + offset;
}

uint16_t Page::U16(size_t offset) const { return LoadU16(Check(offset, 2)); }
uint32_t Page::U24(size_t offset) const { return LoadU24(Check(offset, 3)); }
uint32_t Page::U32(size_t offset) const { return LoadU32(Check(offset, 4)); }

void Page::Fail(const std::string& what) const { throw PageFailure(*file_, number_, what); }

}  // namespace act::db::jet
