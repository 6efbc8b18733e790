// Writing table definitions (TDEFs) whole: the parts CREATE TABLE and
// CREATE INDEX lay out as Access does in Jet 3, and the definition stored
// over its chain of pages (tdef_patch.h changes single fields in place).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_definition.h"

namespace act::db::jet {

// A name as a definition stores it: its length, then its Windows-1252
// bytes. Nothing when it has no Windows-1252 form or is longer than 64.
std::optional<std::vector<uint8_t>> EncodeName(std::string_view utf8);

// The descriptor of a real index: ten column slots (unused ones FF FF),
// the usage map, the root page and the flags.
std::vector<uint8_t> EncodeRealIndex(const Format& format, const RealIndex& index);

// The Jet 3 descriptor of a logical index outside any relationship.
std::vector<uint8_t> EncodeLogicalIndex(uint32_t number, uint32_t real_index, bool primary);

// An empty usage-map row for a new index or long-value column of `table`:
// on the page that holds the table's other maps when it has room, else on
// a new map page.
MapRef AddMapRow(Database& db, PageAllocator& allocator, const TableDefinition& table);

// The definition bytes of a table: its first page whole, then each
// continuation page after its 8-byte header, cut at definition_length.
std::vector<uint8_t> LoadTableDefinition(Database& db, const TableDefinition& table);

// The TDEF chain rewritten with `definition` (its length field already
// set): existing pages reused in order, continuation pages added from the
// allocator or freed as the definition needs.
void StoreTableDefinition(Database& db, PageAllocator& allocator, const TableDefinition& table,
                          std::vector<uint8_t> definition);

}  // namespace act::db::jet
