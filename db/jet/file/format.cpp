#include "db/jet/file/format.h"

namespace act::db::jet {

const Format& Jet3Format() {
  static const Format f = {
      JetVersion::kJet3, 2048,
      /*data_row_count*/ 8, /*data_slots*/ 10,
      /*tdef_rows*/ 12, /*tdef_autonumber*/ 16, /*tdef_table_type*/ 20,
      /*tdef_max_columns*/ 21, /*tdef_var_columns*/ 23, /*tdef_columns*/ 25,
      /*tdef_logical_indexes*/ 27, /*tdef_real_indexes*/ 31,
      /*tdef_owned_map*/ 35, /*tdef_free_map*/ 39,
      /*tdef_index_counters*/ 43, /*tdef_index_counter_size*/ 8,
      /*column_size*/ 18, /*type*/ 0, /*number*/ 1, /*var_index*/ 3, /*misc*/ 11,
      /*flags*/ 13, /*fixed_offset*/ 14, /*length*/ 16,
      /*real_index_size*/ 39, /*slots*/ 0, /*map*/ 30, /*root*/ 34, /*flags*/ 38,
      /*logical_index_size*/ 20, /*logical_index_fields*/ 0,
      /*names_utf16*/ false,
      /*row_count_size*/ 1,
      /*index_prev*/ 8, /*index_next*/ 12, /*index_tail*/ 16, /*index_prefix*/ 20,
      /*index_prefix_size*/ 1, /*index_bitmap*/ 22, /*index_first_entry*/ 248,
      /*inline_map_bytes*/ 128,
  };
  return f;
}

const Format& Jet4Format() {
  static const Format f = {
      JetVersion::kJet4, 4096,
      /*data_row_count*/ 12, /*data_slots*/ 14,
      /*tdef_rows*/ 16, /*tdef_autonumber*/ 20, /*tdef_table_type*/ 40,
      /*tdef_max_columns*/ 41, /*tdef_var_columns*/ 43, /*tdef_columns*/ 45,
      /*tdef_logical_indexes*/ 47, /*tdef_real_indexes*/ 51,
      /*tdef_owned_map*/ 55, /*tdef_free_map*/ 59,
      /*tdef_index_counters*/ 63, /*tdef_index_counter_size*/ 12,
      /*column_size*/ 25, /*type*/ 0, /*number*/ 5, /*var_index*/ 7, /*misc*/ 11,
      /*flags*/ 15, /*fixed_offset*/ 21, /*length*/ 23,
      /*real_index_size*/ 52, /*slots*/ 4, /*map*/ 34, /*root*/ 38, /*flags*/ 46,
      /*logical_index_size*/ 28, /*logical_index_fields*/ 4,
      /*names_utf16*/ true,
      /*row_count_size*/ 2,
      /*index_prev*/ 12, /*index_next*/ 16, /*index_tail*/ 20, /*index_prefix*/ 24,
      /*index_prefix_size*/ 2, /*index_bitmap*/ 27, /*index_first_entry*/ 0x1E0,
      /*inline_map_bytes*/ 64,
  };
  return f;
}

}  // namespace act::db::jet
