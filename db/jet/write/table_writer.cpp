#include "db/jet/write/table_writer.h"

#include <algorithm>
#include <bit>

#include "db/errors.h"
#include "db/jet/write/data_page_writer.h"
#include "db/jet/index/index_maintenance.h"
#include "db/jet/table/long_value.h"
#include "db/jet/table/row_codec.h"
#include "db/jet/write/row_encoder.h"
#include "db/jet/table/text.h"
#include "db/jet/file/write_order.h"

namespace act::db::jet {

namespace {

bool IsCounter(const ColumnDef& c) {
  return (c.flags & kColumnAutonumber) && c.type == kTypeLong;
}

}  // namespace

size_t MaxRowSize(const Format& format) { return format.page_size - format.data_slots - 2; }

TableWriter::TableWriter(Database& db, PageAllocator& allocator,
                         std::shared_ptr<const TableDefinition> table)
    : db_(db), allocator_(allocator), table_(std::move(table)),
      long_values_(db, allocator, *table_), indexes_(db, allocator, *table_),
      properties_(table_->columns.size()), layout_(LayoutOf(*table_)) {
  auto by_name = ReadColumnProperties(db, table_->page);
  for (const auto& [name, props] : by_name) {
    const int i = table_->ColumnIndex(name);
    if (i >= 0) properties_[size_t(i)] = props;
  }
  for (const LogicalIndex& logical : table_->logical_indexes) {
    if (logical.kind == kForeignKey) has_relationships_ = true;
  }
  for (const ColumnDef& c : table_->columns) has_long_values_ |= c.is_long_value();
}

int TableWriter::FirstBreach(const std::vector<Value>& values) const {
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (properties_[i].required && c.type != kTypeBoolean && values[i].is_null()) return int(i);
    if (!properties_[i].allow_zero_length && values[i].is_text() && values[i].bytes().empty() &&
        (c.type == kTypeText || c.type == kTypeMemo)) {
      return int(i);
    }
  }
  return -1;
}

void TableWriter::CheckProperties(const std::vector<Value>& values) const {
  const int i = FirstBreach(values);
  if (i < 0) return;
  const ColumnDef& c = table_->columns[size_t(i)];
  if (values[size_t(i)].is_null()) {
    std::string table = "table at page " + std::to_string(table_->page);
    for (const CatalogEntry& entry : db_.tables()) {
      if (entry.tdef_page == table_->page) table = entry.name;
    }
    throw NullInRequiredFailure(table + "." + c.name,
                                db_.path() + ": column '" + c.name + "' is required");
  }
  throw JetFailure(kJetZeroLengthString,
                   db_.path() + ": column '" + c.name + "' does not allow empty text");
}

void TableWriter::WriteLongValues(const std::vector<Value>& values,
                                  std::vector<StoredField>& fields,
                                  const std::vector<StoredField>* keep, bool allow_inline) {
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (!c.is_long_value() || (keep && (*keep)[i].present) || values[i].is_null()) continue;
    std::string data = values[i].bytes();
    if (c.type == kTypeMemo) {
      auto bytes = Utf8ToCp1252(data);
      if (!bytes) {
        throw JetFailure(kJetConversionError,
                         db_.path() + ": column '" + c.name + "' cannot store the text");
      }
      data = std::move(*bytes);
    }
    fields[i] = long_values_.Write(c, data, allow_inline);
  }
}

bool TableWriter::EncodeFields(const std::vector<Value>& values,
                               const std::vector<StoredField>* keep,
                               const std::vector<bool>* stored_text,
                               std::vector<StoredField>& fields) const {
  fields.resize(table_->columns.size());
  bool has_inline_candidate = false;
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (keep && (*keep)[i].present) {
      fields[i] = (*keep)[i];
    } else if (!c.is_long_value()) {
      EncodeField(c, values[i], db_.path(), fields[i], stored_text && (*stored_text)[i]);
    } else {
      fields[i].present = false;
      fields[i].bytes.clear();
      if (!values[i].is_null() && values[i].bytes().size() <= kLongValueInlineLimit) {
        has_inline_candidate = true;
      }
    }
  }
  return has_inline_candidate;
}

const std::vector<uint8_t>& TableWriter::BuildRow(const std::vector<Value>& values,
                                                  const std::vector<StoredField>* keep,
                                                  const std::vector<bool>* stored_text) {
  const Format& format = db_.format();
  // Fixed and text fields first: they can fail, and must do so before any
  // long value reaches an LVAL page. The fields and the row are encoded
  // into buffers kept from the row before.
  std::vector<StoredField>& fields = fields_;
  if (EncodeFields(values, keep, stored_text, fields)) {
    // Short memos stay in the row when the row still fits a page; the trial
    // encoding writes nothing, since inline values need no LVAL rows.
    std::vector<StoredField> trial = fields;
    for (size_t i = 0; i < table_->columns.size(); ++i) {
      const ColumnDef& c = table_->columns[i];
      if (!c.is_long_value() || (keep && (*keep)[i].present) || values[i].is_null()) continue;
      const size_t size = values[i].bytes().size();
      trial[i] = {true, std::string(kLongValueHeaderSize +
                                        (size > kLongValueInlineLimit ? 0 : size), '\0')};
    }
    EncodeRow(format, *table_, layout_, trial, row_);
    if (row_.size() <= MaxRowSize(format)) {
      WriteLongValues(values, fields, keep, true);
      EncodeRow(format, *table_, layout_, fields, row_);
      return row_;
    }
  }
  WriteLongValues(values, fields, keep, false);
  EncodeRow(format, *table_, layout_, fields, row_);
  if (row_.size() > MaxRowSize(format)) {
    throw JetFailure(kJetRecordTooLarge, db_.path() + ": a row of " + std::to_string(row_.size()) +
                                             " bytes for the table of TDEF page " +
                                             std::to_string(table_->page));
  }
  return row_;
}

RowPointer TableWriter::Place(std::span<const uint8_t> row, uint16_t slot_flags,
                              uint32_t avoid) {
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  for (;;) {
    if (fill_page_ == 0 && !candidates_read_) {
      // The next page the free-space map offers that belongs to this table.
      auto found = allocator_.maps().FindSet(table_->free_map, next_candidate_, pager.page_count());
      if (!found) {
        candidates_read_ = true;
        continue;
      }
      next_candidate_ = *found + 1;
      PageRef page = pager.Get(*found);
      if (page->U8(0) == kPageData && page->U32(4) == table_->page) fill_page_ = *found;
      continue;
    }
    if (fill_page_ != 0) {
      if (!fill_held_) {
        fill_image_ = pager.Get(fill_page_)->bytes();
        fill_held_ = true;
      }
      if (fill_page_ == avoid || !DataPageFits(format, fill_image_, row.size())) {
        ReleaseFillPage();
        if (fill_page_ != avoid) allocator_.MarkPageFull(*table_, fill_page_);
        fill_page_ = 0;
        continue;
      }
    } else {
      fill_page_ = allocator_.AllocateDataPage(*table_);
      fill_image_ = NewDataPage(format, table_->page);
      fill_held_ = true;
    }
    unsigned slot = AppendDataRow(format, fill_image_, row, slot_flags);
    fill_changed_ = true;
    return RowPointer{fill_page_, uint8_t(slot)};
  }
}

void TableWriter::WriteFillPage() {
  if (!fill_held_ || !fill_changed_) return;
  db_.pager().Write(fill_page_, fill_image_, kWriteRows);
  fill_changed_ = false;
}

void TableWriter::ReleaseFillPage() {
  WriteFillPage();
  fill_held_ = false;
}

RowPointer TableWriter::Append(std::vector<Value>& values, const std::vector<bool>* stored_text) {
  db_.RowsChanged(table_->page);
  if (values.size() != table_->columns.size() ||
      (stored_text && stored_text->size() != values.size())) {
    throw JetFailure(kJetOperationNotSupported, db_.path() + ": row of the wrong width");
  }
  if (stored_text && has_relationships_) {
    // Relationship checks build keys of other tables from these values.
    for (size_t i = 0; i < values.size(); ++i) {
      if (!(*stored_text)[i] || !values[i].is_text()) continue;
      const std::string& stored = values[i].bytes();
      values[i] = Value::Text(Cp1252ToUtf8(std::span<const uint8_t>(
          reinterpret_cast<const uint8_t*>(stored.data()), stored.size())));
    }
    stored_text = nullptr;
  }
  const std::optional<uint32_t> counter = FillCounters(values);
  CheckProperties(values);
  indexes_.Keys(values, keys_, stored_text);
  CheckIndexConstraints(db_, indexes_, values, keys_);
  RowPointer where = Place(BuildRow(values, nullptr, stored_text), 0);
  indexes_.Insert(values, std::move(keys_), where);
  ++added_rows_;
  if (counter) last_counter_ = *counter;
  return where;
}

std::optional<uint32_t> TableWriter::FillCounters(std::vector<Value>& values) const {
  const uint32_t last = last_counter_ ? *last_counter_ : table_->autonumber;
  std::optional<uint32_t> counter;
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (!IsCounter(c)) continue;
    if (values[i].is_null()) {
      values[i] = Value::Long(int32_t(last + 1));
      counter = last + 1;
    } else if (values[i].integer() > 0) {
      counter = std::max(last, uint32_t(values[i].integer()));
    }
  }
  return counter;
}

void TableWriter::PrepareCensus(const std::vector<Value>& values,
                                const std::vector<bool>* stored_text, PreparedRow& out) const {
  out.ready = false;
  const auto& indexes = table_->real_indexes;
  if (values.size() != table_->columns.size() || indexes.size() > 64) return;
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    if (IsCounter(table_->columns[i]) && values[i].is_null()) return;  // Census sees to it
  }
  out.lookup = out.keyed = 0;
  out.keys.resize(indexes.size());
  out.key_hashes.resize(indexes.size());
  for (size_t i = 0; i < indexes.size(); ++i) {
    const RealIndex& index = indexes[i];
    if (!(index.flags & kIndexUnique)) continue;
    const size_t nulls = NullKeyColumns(*table_, index, values);
    if (RefusesNullKey(index, nulls)) {
      out.lookup = out.keyed = 0;  // refused whatever came before: nothing to count
      break;
    }
    if (!LooksUpKey(index, nulls)) continue;
    // Every other key is left to Census, on the writer's thread, which
    // the census pass leaves otherwise idle half the time.
    const bool here = std::popcount(out.lookup) % 2 == 0;
    out.lookup |= uint64_t(1) << i;
    if (!here) continue;
    out.keys[i].clear();
    try {
      AppendIndexKey(out.keys[i], db_.format(), *table_, index, values, stored_text);
    } catch (...) {
      return;  // Append meets the failure again
    }
    out.key_hashes[i] = KeyHash(out.keys[i]);
    out.keyed |= uint64_t(1) << i;
  }
  out.ready = true;
}

void TableWriter::Prepare(const std::vector<Value>& values, const std::vector<bool>* stored_text,
                          PreparedRow& out) const {
  out.ready = false;
  if (has_relationships_ || has_long_values_ || values.size() != table_->columns.size() ||
      (stored_text && stored_text->size() != values.size())) {
    return;
  }
  out.counter.reset();
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    if (!IsCounter(table_->columns[i])) continue;
    if (values[i].is_null()) return;  // takes the writer's counter
    if (values[i].integer() > 0) out.counter = uint32_t(values[i].integer());
  }
  // A refusal that follows from the values alone, and any failure, leave
  // the row to Append, which meets it again in its own order of checks and
  // reports it from the writer's thread.
  const auto& indexes = table_->real_indexes;
  if (indexes.size() > 64 || FirstBreach(values) >= 0) return;
  out.lookup = out.listed = 0;
  for (size_t i = 0; i < indexes.size(); ++i) {
    const RealIndex& index = indexes[i];
    const size_t nulls = NullKeyColumns(*table_, index, values);
    if (RefusesNullKey(index, nulls)) return;
    if (LooksUpKey(index, nulls)) out.lookup |= uint64_t(1) << i;
    if (ListsKey(index, nulls)) out.listed |= uint64_t(1) << i;
  }
  try {
    indexes_.Keys(values, out.keys, stored_text);
    EncodeFields(values, nullptr, stored_text, out.fields);
    EncodeRow(db_.format(), *table_, layout_, out.fields, out.bytes);
  } catch (...) {
    return;
  }
  out.ready = out.bytes.size() <= MaxRowSize(db_.format());
}

bool TableWriter::BeginBulk(FileSystem& fs, const BulkLimits& limits) {
  if (has_relationships_ || table_->real_indexes.size() > 64) return false;
  indexes_.BeginBulk(fs, limits);
  counter_keys_ = 0;
  counter_in_compound_ = false;
  census_fresh_ = census_given_ = false;
  for (size_t i = 0; i < table_->real_indexes.size(); ++i) {
    const RealIndex& index = table_->real_indexes[i];
    if (!(index.flags & kIndexUnique)) continue;
    for (const IndexColumn& ic : index.columns) {
      const ColumnDef* c = table_->ColumnByNumber(ic.column_number);
      if (!c || !IsCounter(*c)) continue;
      if (index.columns.size() == 1) counter_keys_ |= uint64_t(1) << i;
      else counter_in_compound_ = true;
    }
  }
  return true;
}

bool TableWriter::Census(const std::vector<Value>& values, const std::vector<bool>* stored_text,
                         const PreparedRow& prepared) {
  const auto& indexes = table_->real_indexes;
  if (values.size() != table_->columns.size()) return true;
  // A Null counter takes the writer's next value, above every counter value
  // and key so far: keys that need no count, as long as no row of the same
  // append gives a value of its own, which could meet one of them (and the
  // tree holds no key from there on: EndCensus).
  std::vector<Value> filled;
  for (size_t k = 0; k < values.size(); ++k) {
    if (!IsCounter(table_->columns[k])) continue;
    if (values[k].is_null()) {
      if (counter_in_compound_) return false;
      census_fresh_ = true;
      if (filled.empty()) filled = values;
      filled[k] = Value::Long(1);  // stands for the value it takes: no Null to the checks
    } else if (values[k].integer() > 0) {
      census_given_ = true;
    }
  }
  if (census_fresh_ && census_given_ && (counter_keys_ || counter_in_compound_)) return false;
  if (prepared.ready) {
    keys_.resize(indexes.size());
    for (size_t i = 0; i < indexes.size(); ++i) {
      if (!((prepared.lookup >> i) & 1)) continue;
      if ((prepared.keyed >> i) & 1) {
        indexes_.CensusKey(i, prepared.keys[i], prepared.key_hashes[i]);
        continue;
      }
      keys_[i].clear();
      try {
        AppendIndexKey(keys_[i], db_.format(), *table_, indexes[i], values, stored_text);
      } catch (const act::Error&) {
        continue;  // Append fails on it too
      }
      indexes_.CensusKey(i, keys_[i]);
    }
    return true;
  }
  // What Append would look up, worked out from the values as it does, in
  // the unique indexes alone (the census reads no other column): counting
  // a row that is then refused only costs lookups.
  const std::vector<Value>& row = filled.empty() ? values : filled;
  uint64_t lookup = 0;
  for (size_t i = 0; i < indexes.size(); ++i) {
    if (!(indexes[i].flags & kIndexUnique)) continue;
    const size_t nulls = NullKeyColumns(*table_, indexes[i], row);
    if (RefusesNullKey(indexes[i], nulls)) return true;
    if (LooksUpKey(indexes[i], nulls)) lookup |= uint64_t(1) << i;
  }
  if (!filled.empty()) lookup &= ~counter_keys_;
  keys_.resize(indexes.size());
  for (size_t i = 0; i < indexes.size(); ++i) {
    if (!((lookup >> i) & 1)) continue;
    keys_[i].clear();
    try {
      AppendIndexKey(keys_[i], db_.format(), *table_, indexes[i], row, stored_text);
    } catch (const act::Error&) {
      return true;  // Append fails on it too
    }
  }
  for (size_t i = 0; i < indexes.size(); ++i) {
    if ((lookup >> i) & 1) indexes_.CensusKey(i, keys_[i]);
  }
  return true;
}

bool TableWriter::census_reads(size_t column) const {
  const ColumnDef& c = table_->columns[column];
  if (IsCounter(c)) return true;
  for (const RealIndex& index : table_->real_indexes) {
    if (!(index.flags & kIndexUnique)) continue;
    for (const IndexColumn& ic : index.columns) {
      if (ic.column_number == c.number) return true;
    }
  }
  return false;
}

bool TableWriter::EndCensus() {
  // The counter's values start above the table's counter.
  std::vector<std::optional<KeyBytes>> fresh(table_->real_indexes.size());
  for (size_t i = 0; i < fresh.size() && census_fresh_; ++i) {
    if (!((counter_keys_ >> i) & 1)) continue;
    std::vector<Value> row(table_->columns.size());
    for (size_t k = 0; k < row.size(); ++k) {
      if (IsCounter(table_->columns[k])) row[k] = Value::Long(int32_t(table_->autonumber + 1));
    }
    fresh[i] = EncodeIndexKey(db_.format(), *table_, table_->real_indexes[i], row);
  }
  return indexes_.EndCensus(fresh);
}

RowPointer TableWriter::Append(std::vector<Value>& values, const std::vector<bool>* stored_text,
                               PreparedRow& prepared) {
  if (!prepared.ready) return Append(values, stored_text);
  db_.RowsChanged(table_->page);
  prepared.ready = false;  // its keys are taken below
  // What Append works out from the values came with the row; only what
  // depends on the rows written before it is left: the counter and the
  // uniqueness lookups.
  std::optional<uint32_t> counter;
  if (prepared.counter) {
    counter = std::max(last_counter_ ? *last_counter_ : table_->autonumber, *prepared.counter);
  }
  CheckUniqueKeys(db_, indexes_, prepared.keys, prepared.lookup);
  RowPointer where = Place(prepared.bytes, 0);
  indexes_.Insert(std::move(prepared.keys), where, prepared.listed);
  ++added_rows_;
  if (counter) last_counter_ = *counter;
  return where;
}

std::optional<TableWriter::StoredRow> TableWriter::FindRow(RowPointer where) {
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  PageRef header_page = pager.Get(where.page);
  CheckDataPage(*header_page, table_->page);
  Slot header = ReadSlot(*header_page, format, where.row);
  if (header.flags & kSlotDeleted) return std::nullopt;
  RowPointer body = where;
  if (header.flags & kSlotOverflow) {
    if (header.size() < 4) header_page->Fail("overflow row too short");
    body = {header_page->U24(header.start + 1), header_page->U8(header.start)};
  }
  std::optional<RowBytes> bytes = ReadRowAt(pager, format, where, table_->page);
  if (!bytes) throw PageFailure(db_.path(), body.page, "moved row body is missing");
  return StoredRow{body, std::move(*bytes)};
}

void TableWriter::Update(RowPointer where, const std::vector<Value>& old_values,
                         const std::vector<Value>& new_values) {
  for (size_t i = 0; i < new_values.size(); ++i) {
    if (!(old_values[i] == new_values[i])) db_.RowsChanged(table_->page, i);
  }
  // This change reads and writes pages through the pager, the page being
  // filled among them.
  ReleaseFillPage();
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  std::optional<StoredRow> stored = FindRow(where);
  if (!stored) {
    throw PageFailure(db_.path(), where.page, "update of deleted row " + std::to_string(where.row));
  }
  const RowPointer body = stored->body;

  // Long values whose value did not change keep their stored field.
  RowDecoder decoder(format, *table_);
  decoder.Split(*stored->bytes.page, stored->bytes.bytes);
  std::vector<StoredField> keep(table_->columns.size());
  std::vector<std::vector<uint8_t>> released;
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (!c.is_long_value()) continue;
    const ColumnSlice& slice = decoder.slices()[i];
    if (new_values[i] == old_values[i] && slice.present) {
      keep[i] = {true, std::string(slice.bytes.begin(), slice.bytes.end())};
    } else if (slice.present) {
      released.emplace_back(slice.bytes.begin(), slice.bytes.end());
    }
  }

  bool key_changed = false;
  for (const RealIndex& index : table_->real_indexes) {
    for (const IndexColumn& ic : index.columns) {
      for (size_t i = 0; i < table_->columns.size(); ++i) {
        if (table_->columns[i].number == ic.column_number && !(old_values[i] == new_values[i])) {
          key_changed = true;
        }
      }
    }
  }
  CheckProperties(new_values);
  TableIndexes::RowKeys new_keys;
  if (key_changed) {
    new_keys = indexes_.Keys(new_values);
    CheckIndexConstraints(db_, indexes_, new_values, new_keys, where);
  }
  std::vector<uint8_t> row = BuildRow(new_values, &keep);
  if (key_changed) indexes_.Remove(old_values, where);
  std::vector<uint8_t> image = pager.Get(body.page)->bytes();
  uint16_t body_flags = body == where ? 0 : kSlotDeleted;
  if (ReplaceDataRow(format, image, body.row, row, body_flags)) {
    pager.Write(body.page, std::move(image), kWriteRows);
  } else {
    // The body moves to another page; the header slot keeps the row's
    // position (index entries point at it) and now holds the pointer.
    RowPointer moved = Place(row, kSlotDeleted, where.page);
    ReleaseFillPage();  // the pages below are changed through the pager
    std::vector<uint8_t> pointer = {moved.row, uint8_t(moved.page), uint8_t(moved.page >> 8),
                                    uint8_t(moved.page >> 16)};
    if (body != where) {
      // Re-point, then drop the old body (Access's reclaimed-row mark).
      std::vector<uint8_t> head = pager.Get(where.page)->bytes();
      ReplaceDataRow(format, head, where.row, pointer, kSlotOverflow);
      pager.Write(where.page, std::move(head), kWriteRowPointers);
      std::vector<uint8_t> old_body = pager.Get(body.page)->bytes();
      ReplaceDataRow(format, old_body, body.row, {}, kSlotDeleted | kSlotOverflow);
      pager.Write(body.page, std::move(old_body), kWriteRowPointers);
    } else {
      std::vector<uint8_t> head = pager.Get(where.page)->bytes();
      ReplaceDataRow(format, head, where.row, pointer, kSlotOverflow);
      pager.Write(where.page, std::move(head), kWriteRowPointers);
    }
  }
  for (const auto& field : released) long_values_.Release(field);
  if (key_changed) indexes_.Insert(new_values, std::move(new_keys), where);
  for (size_t i = 0; i < table_->columns.size(); ++i) {
    const ColumnDef& c = table_->columns[i];
    if (IsCounter(c) && !new_values[i].is_null() && new_values[i].integer() > 0) {
      uint32_t last = last_counter_ ? *last_counter_ : table_->autonumber;
      last_counter_ = std::max(last, uint32_t(new_values[i].integer()));
    }
  }
}

bool TableWriter::Delete(RowPointer where, const std::vector<Value>& values) {
  return Delete({{where, values}}) == 1;
}

size_t TableWriter::Delete(const std::vector<std::pair<RowPointer, std::vector<Value>>>& rows,
                           const std::function<void()>& flush, size_t flush_pages) {
  db_.RowsChanged(table_->page);
  ReleaseFillPage();
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  std::vector<const std::vector<Value>*> live;
  std::vector<RowPointer> heads, bodies;
  std::vector<std::vector<uint8_t>> released;
  RowDecoder decoder(format, *table_);
  for (const auto& [where, values] : rows) {
    std::optional<StoredRow> stored = FindRow(where);
    if (!stored) continue;
    if (has_long_values_) {
      decoder.Split(*stored->bytes.page, stored->bytes.bytes);
      for (size_t i = 0; i < table_->columns.size(); ++i) {
        const ColumnSlice& slice = decoder.slices()[i];
        if (table_->columns[i].is_long_value() && slice.present) {
          released.emplace_back(slice.bytes.begin(), slice.bytes.end());
        }
      }
    }
    live.push_back(&values);
    heads.push_back(where);
    if (stored->body != where) bodies.push_back(stored->body);
  }
  indexes_.Remove(live, heads);
  // Each page is changed once for all its rows (a scan hands them over
  // page by page), and the pages the rows left take new rows again. The
  // counts are kept page by page, so that a flush on the way writes them
  // as the pages stand.
  for (const RowPointer& body : bodies) {
    std::vector<uint8_t> image = pager.Get(body.page)->bytes();
    ReplaceDataRow(format, image, body.row, {}, kSlotDeleted | kSlotOverflow);
    pager.Write(body.page, std::move(image), kWriteRowPointers);
  }
  for (const auto& field : released) long_values_.Release(field);
  std::vector<RowPointer> slots = heads;
  std::sort(slots.begin(), slots.end());
  for (size_t k = 0; k < slots.size();) {
    const uint32_t page = slots[k].page;
    std::vector<uint8_t> image = pager.Get(page)->bytes();
    for (; k < slots.size() && slots[k].page == page; ++k) {
      ReplaceDataRow(format, image, slots[k].row, {}, kSlotDeleted | kSlotOverflow);
      --added_rows_;
    }
    pager.Write(page, std::move(image), kWriteRowPointers);
    if (page != last_freed_page_) {
      if (!allocator_.maps().Test(table_->free_map, page)) {
        allocator_.maps().Set(table_->free_map, page, true);
      }
      last_freed_page_ = page;
      if (fill_page_ == 0) candidates_read_ = false;
      next_candidate_ = std::min(next_candidate_, page);
    }
    if (flush && pager.pending_writes() > flush_pages) flush();
  }
  return heads.size();
}

void TableWriter::Finish() {
  WriteFillPage();
  indexes_.WriteChanges();
  Pager& pager = db_.pager();
  const Format& format = db_.format();
  std::vector<uint8_t> tdef = pager.Get(table_->page)->bytes();
  uint32_t rows = LoadU32(&tdef[format.tdef_rows]);
  uint32_t counter = LoadU32(&tdef[format.tdef_autonumber]);
  bool changed = false;
  if (added_rows_ != 0) {
    StoreU32(&tdef[format.tdef_rows], uint32_t(rows + added_rows_));
    changed = true;
  }
  if (last_counter_ && *last_counter_ > counter) {
    StoreU32(&tdef[format.tdef_autonumber], *last_counter_);
    changed = true;
  }
  if (changed) pager.Write(table_->page, std::move(tdef), kWriteDefinitions);
  added_rows_ = 0;
}

}  // namespace act::db::jet
