// The layout constants that differ between Jet 3 (Access 97, 2 KiB pages)
// and Jet 4 (Access 2000, 4 KiB pages). Every layer reads offsets from here
// instead of testing the version itself.
#pragma once

#include <cstddef>
#include <cstdint>

namespace act::db::jet {

enum class JetVersion { kJet3, kJet4 };

struct Format {
  JetVersion version;
  uint32_t page_size;

  // Data pages.
  size_t data_row_count;    // u16 number of row slots
  size_t data_slots;        // first slot word

  // Table definition.
  size_t tdef_rows;         // u32 row count
  size_t tdef_autonumber;   // u32 last autonumber issued
  size_t tdef_table_type;   // u8
  size_t tdef_max_columns;  // u16
  size_t tdef_var_columns;  // u16
  size_t tdef_columns;      // u16
  size_t tdef_logical_indexes;  // u32
  size_t tdef_real_indexes;     // u32
  size_t tdef_owned_map;        // map ref
  size_t tdef_free_map;         // map ref
  size_t tdef_index_counters;   // first per-real-index counter block
  size_t tdef_index_counter_size;
  size_t column_size;           // column descriptor
  size_t column_type, column_number, column_var_index, column_misc, column_flags,
      column_fixed_offset, column_length;
  size_t real_index_size;       // real index descriptor
  size_t real_index_slots;      // 10 x (u16 column, u8 order)
  size_t real_index_map, real_index_root, real_index_flags;
  size_t logical_index_size;
  size_t logical_index_fields;  // where the Jet 3 layout of the 20 fields starts
  bool names_utf16;             // column/index names: u16 length + UTF-16LE

  // Rows.
  size_t row_count_size;        // 1 (Jet 3) or 2 (Jet 4) bytes per count/offset

  // Index pages.
  size_t index_prev, index_next, index_tail, index_prefix;
  size_t index_prefix_size;     // ONE byte in Jet 3, two in Jet 4
  size_t index_bitmap;
  size_t index_first_entry;

  // Usage maps.
  size_t inline_map_bytes;      // bitmap bytes of an inline map row

  bool is_jet3() const { return version == JetVersion::kJet3; }
};

const Format& Jet3Format();
const Format& Jet4Format();

}  // namespace act::db::jet
