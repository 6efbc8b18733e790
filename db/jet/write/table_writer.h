// Writing the rows of one table: appending (placement as Access does it:
// the next slot below the lowest row of the page being filled, pages taken
// from the table's free-space map in order, a new page when none has room)
// and updating in place, re-packing the page, or moving the row's body to
// another page behind an overflow pointer when it no longer fits. Keeps the
// TDEF's row count and autonumber counter and calls index maintenance
// around every change.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "db/jet/table/column_properties.h"
#include "db/jet/file/data_page.h"
#include "db/jet/table/database.h"
#include "db/jet/write/long_value_writer.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/table/table_definition.h"
#include "db/jet/index/table_indexes.h"
#include "db/value.h"

namespace act::db::jet {

// The largest row a page holds: the page minus its header and one slot.
size_t MaxRowSize(const Format& format);

// A row made ready for TableWriter::Append away from the writer: its index
// keys and its stored bytes, which depend only on the row's values and the
// table's design. Rows that need the writer's state for these (a Null
// counter, long values, relationship checks) are left not ready, and so is
// a row whose keys or bytes fail: Append then does all of it itself, so a
// refusal is reported exactly as it would be without preparing.
//
// A ready row also carries what its checks need from its values, so that
// Append reads nothing else of them: its column properties hold, no
// required index has a Null in its key, which unique indexes its keys must
// be looked up in (those without a Null), which indexes list it, and the
// counter value it brings.
struct PreparedRow {
  bool ready = false;
  uint64_t lookup = 0;  // bit i: real index i is unique and the key has no Null
  uint64_t listed = 0;  // bit i: real index i lists the row
  std::optional<uint32_t> counter;  // a counter value of the row's own, above 0
  TableIndexes::RowKeys keys;
  uint64_t keyed = 0;                // PrepareCensus: the keys it encoded (bit i)
  std::vector<uint64_t> key_hashes;  // PrepareCensus: KeyHash of those
  std::vector<uint8_t> bytes;
  std::vector<StoredField> fields;  // the encoding's buffers, kept from row to row
};

class TableWriter {
 public:
  TableWriter(Database& db, PageAllocator& allocator,
              std::shared_ptr<const TableDefinition> table);

  const TableDefinition& table() const { return *table_; }
  // The column's Required/AllowZeroLength/DefaultValue properties.
  const ColumnProperties& properties(size_t column) const { return properties_[column]; }

  // Appends a row of values indexed like table().columns, each already of
  // its column's kind (ConvertForColumn). A Null counter column takes the
  // next counter value; a given one moves the counter past it. Throws
  // (3022, 3058, 3201, 3163, ...) without writing anything when the row is
  // refused.
  // `values` may be changed (the counter it takes); the rvalue form is for
  // rows built on the spot.
  //
  // `stored_text`, indexed like the columns, marks text values that hold
  // the column's stored bytes (Windows-1252) rather than UTF-8: a copy
  // between Jet 3 tables hands text over as stored and converts it neither
  // way.
  RowPointer Append(std::vector<Value>& values, const std::vector<bool>* stored_text = nullptr);
  RowPointer Append(std::vector<Value>&& values) { return Append(values); }

  // Fills `out` for Append(values, stored_text, out). Reads only the table's
  // design, never the writer's state or the file, so another thread may
  // run it while this writer appends earlier rows.
  void Prepare(const std::vector<Value>& values, const std::vector<bool>* stored_text,
               PreparedRow& out) const;
  // What Census reads of a row (which keys it looks up in unique indexes,
  // and every other one of those keys: Census encodes the rest), from the
  // columns census_reads names alone.
  void PrepareCensus(const std::vector<Value>& values, const std::vector<bool>* stored_text,
                     PreparedRow& out) const;
  // Whether the census reads column i (a unique key's, or a counter).
  bool census_reads(size_t column) const;
  // Append with the row's keys and bytes taken from `prepared` when it is
  // ready (its keys are moved out).
  RowPointer Append(std::vector<Value>& values, const std::vector<bool>* stored_text,
                    PreparedRow& prepared);

  // Replaces the row at `where` (the position a scan or an index gives),
  // whose current values are `old_values`, by `new_values`.
  void Update(RowPointer where, const std::vector<Value>& old_values,
              const std::vector<Value>& new_values);

  // Removes the row at `where` whose values are `values`: its index
  // entries, its long values, and its bytes (the slot keeps its number,
  // flagged deleted with no length, as Access leaves it). The page goes
  // back into the free-space map, so later rows reuse the room. False when
  // the row was deleted already.
  bool Delete(RowPointer where, const std::vector<Value>& values);
  // The same for many rows at once, their index entries removed in key
  // order and each page changed once; returns how many were still there.
  // `flush` is called whenever more than `flush_pages` pages wait in the
  // pager (it calls Finish and flushes): between two such flushes the
  // indexes may lack entries of rows not yet removed from their pages.
  size_t Delete(const std::vector<std::pair<RowPointer, std::vector<Value>>>& rows,
                const std::function<void()>& flush = nullptr, size_t flush_pages = 0);

  // Rows whose key in real index i is `key`, this writer's changes
  // included.
  std::vector<RowPointer> Find(size_t real_index, const KeyBytes& key) {
    return indexes_.Find(real_index, key);
  }

  // Many rows at once (INSERT ... SELECT): their index entries are sorted
  // and go into the trees at EndBulk (see TableIndexes::BeginBulk), on a
  // writer that has changed nothing yet. False when this table's rows
  // cannot go that way (relationships look rows up in the trees).
  bool BeginBulk(FileSystem& fs, const BulkLimits& limits = {});
  bool in_bulk() const { return indexes_.in_bulk(); }
  // Whether the rows' keys must be counted first: each row that will be
  // appended, in the same order, goes through Census (prepared or not, as
  // for Append), then EndCensus.
  bool census_wanted() const { return indexes_.census_wanted(); }
  // False when the row's key in a unique index cannot be known before it
  // is written (a Null counter the writer fills in): the rows must then go
  // in one at a time (CancelBulk).
  bool Census(const std::vector<Value>& values, const std::vector<bool>* stored_text,
              const PreparedRow& prepared);
  bool EndCensus();
  // Instead of the census, the rows' unique keys taken to come in order
  // (TableIndexes::AssumeOrdered; KeysOutOfOrder ends the bulk append
  // before the row that breaks the order is written).
  void AssumeOrdered() { indexes_.AssumeOrdered(); }
  void CancelBulk() { indexes_.CancelBulk(); }
  // Puts the entries into the trees; `flush` as for TableIndexes::EndBulk.
  void EndBulk(const std::function<void()>& flush, size_t flush_pages) {
    indexes_.EndBulk(flush, flush_pages);
  }

  // Hands the changed index pages to the pager and writes the TDEF
  // counters (row count, last autonumber, index roots and key counts).
  // Call before every flush of the pager and once the statement's rows are
  // written: until then index changes are held here.
  void Finish();

 private:
  // A live row as stored: where its body lies (the header slot itself, or
  // the slot an overflow header points at) and its bytes.
  struct StoredRow {
    RowPointer body;
    RowBytes bytes;
  };
  // The row at `where`; nullopt when its slot is deleted. A header whose
  // moved body cannot be read is damage (3049).
  std::optional<StoredRow> FindRow(RowPointer where);
  // Stores the long values of a row whose other fields are encoded in
  // `fields`, setting their fields.
  void WriteLongValues(const std::vector<Value>& values, std::vector<StoredField>& fields,
                       const std::vector<StoredField>* keep, bool allow_inline);
  // The row's stored bytes, in a buffer that the next call reuses.
  const std::vector<uint8_t>& BuildRow(const std::vector<Value>& values,
                                       const std::vector<StoredField>* keep,
                                       const std::vector<bool>* stored_text = nullptr);
  // Gives a Null counter column the next counter value; returns where the
  // counter stands once the row is written (nullopt: where it was).
  std::optional<uint32_t> FillCounters(std::vector<Value>& values) const;
  // Encodes the fields other than long values, which are left empty for
  // BuildRow (as are those that `keep` gives, taken as they are); returns
  // whether a long value is short enough to try in the row.
  bool EncodeFields(const std::vector<Value>& values, const std::vector<StoredField>* keep,
                    const std::vector<bool>* stored_text, std::vector<StoredField>& fields) const;
  // Places a row on the page being filled (or the next one with room);
  // `avoid` is a page the row must not go to.
  RowPointer Place(std::span<const uint8_t> row, uint16_t slot_flags, uint32_t avoid = 0);
  // Required columns and AllowZeroLength (3314, 3315).
  void CheckProperties(const std::vector<Value>& values) const;
  // The first column whose value breaks one of them, or -1.
  int FirstBreach(const std::vector<Value>& values) const;

  Database& db_;
  PageAllocator& allocator_;
  std::shared_ptr<const TableDefinition> table_;
  LongValueWriter long_values_;
  TableIndexes indexes_;
  std::vector<ColumnProperties> properties_;  // like table_->columns
  bool has_relationships_ = false;  // rows checked against other tables
  bool has_long_values_ = false;    // memo or OLE columns, written by BuildRow
  // Hands the page being filled to the pager; Release also stops holding
  // it (before changes that go through the pager).
  void WriteFillPage();
  void ReleaseFillPage();

  RowLayout layout_;
  std::vector<StoredField> fields_;  // BuildRow's buffers
  std::vector<uint8_t> row_;
  TableIndexes::RowKeys keys_;  // Append's keys, their buffers kept
  uint32_t fill_page_ = 0;      // page being filled, 0 before the first row
  // The page being filled is held here between rows and reaches the pager
  // at Finish(), rather than being copied in and out of it for every row.
  std::vector<uint8_t> fill_image_;
  bool fill_held_ = false;
  bool fill_changed_ = false;
  bool candidates_read_ = false;
  uint32_t next_candidate_ = 1;  // where the free-space map is searched next
  int64_t added_rows_ = 0;
  uint32_t last_freed_page_ = 0;  // the page Delete last put in the free-space map
  // A bulk append's census: unique indexes on the counter alone, whether
  // one holds it among other columns, and whether rows took the writer's
  // next value or gave one of their own.
  uint64_t counter_keys_ = 0;
  bool counter_in_compound_ = false;
  bool census_fresh_ = false;
  bool census_given_ = false;
  std::optional<uint32_t> last_counter_;
};

}  // namespace act::db::jet
