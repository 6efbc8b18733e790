// Page 0: the database header. Tells Jet 3 from Jet 4 (and so the page
// size), and gives the code page of all text and the database key.
#pragma once

#include <cstdint>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace act::db::jet {

struct DatabaseHeader {
  const Format* format = nullptr;
  uint16_t code_page = 1252;
  uint16_t sort_order = 0x0409;
  uint32_t database_key = 0;
};

// Reads and checks page 0, then configures the pager for the file's page
// size and key. Fails with 3343 for anything that is not a Jet 3/4 file.
DatabaseHeader ReadHeader(Pager& pager);

// Unmasks (or masks) the scrambled region of a header page in place.
void ToggleHeaderMask(const Format& format, uint8_t* page0);

}  // namespace act::db::jet
