#include "db/exec/join_streams.h"

#include <cstring>

#include "db/exec/packed_row.h"
#include "db/exec/value_order.h"
#include "db/jet/index/index_key.h"
#include "db/jet/table/value_conversion.h"

namespace act::db::exec {

bool AppendJoinKey(std::string& key, const Value& v) {
  switch (ClassOfValue(v)) {
    case ValueClass::kNull: return false;
    case ValueClass::kNumber: {
      double d = NumberValue(v);
      if (d == 0) d = 0;  // -0 meets 0
      char bytes[8];
      std::memcpy(bytes, &d, 8);
      key += 'n';
      key.append(bytes, 8);
      return true;
    }
    case ValueClass::kText: {
      const std::string k = TextCompareKey(v.bytes());
      key += 't';
      key.append(std::to_string(k.size())).append(1, ':').append(k);
      return true;
    }
    case ValueClass::kBinary:
      key += 'b';
      key.append(std::to_string(v.bytes().size())).append(1, ':').append(v.bytes());
      return true;
  }
  return false;
}

// ---- TableStream ----

TableStream::TableStream(jet::Database& db, std::shared_ptr<const jet::TableDefinition> table,
                         size_t first)
    : Stream(first, first + table->columns.size()),
      table_(std::move(table)),
      scan_(db.pager(), db.format(), *table_),
      values_(table_->columns.size()),
      read_(table_->columns.size(), 0) {}

bool TableStream::Next() {
  ++generation_;
  return scan_.Next();
}

const Value& TableStream::at(size_t place) {
  const size_t column = place - first();
  if (read_[column] != generation_) {
    scan_.Read(column, values_[column]);
    read_[column] = generation_;
  }
  return values_[column];
}

// ---- IndexProbe ----

IndexProbe::IndexProbe(std::unique_ptr<TableStream> inner, jet::Database& db,
                       const jet::TableDefinition& table, const jet::RealIndex& index,
                       const JoinKey& key)
    : inner_(std::move(inner)),
      format_(db.format()),
      table_(table),
      index_(index),
      reader_(db.pager(), db.format(), table, index),
      row_(table.columns.size()) {
  for (const jet::IndexColumn& c : index.columns) {
    const jet::ColumnDef* def = table.ColumnByNumber(c.column_number);
    if (!def) continue;
    const size_t column = size_t(def - table.columns.data());
    for (size_t k = 0; k < key.inner.size(); ++k) {
      if (key.inner[k] == inner_->first() + column) {
        columns_.emplace_back(column, key.outer[k]);
        break;
      }
    }
  }
}

void IndexProbe::Seek(RowValues& outer) {
  rows_ = &none_;
  next_ = 0;
  for (const auto& [column, place] : columns_) {
    const Value& v = outer.at(place);
    // A Null meets nothing; a value the column cannot hold meets none of
    // its values.
    if (v.is_null()) return;
    std::optional<Value> converted = jet::ConvertForColumn(table_.columns[column], v);
    if (!converted || converted->is_null()) return;
    row_[column] = std::move(*converted);
  }
  rows_ = &Lookup(jet::EncodeIndexKey(format_, table_, index_, row_));
}

const IndexProbe::Rows& IndexProbe::Lookup(const jet::KeyBytes& key) {
  std::string bytes(reinterpret_cast<const char*>(key.data()), key.size());
  auto kept = kept_.find(bytes);
  if (kept != kept_.end()) return kept->second;
  reader_.Find(key, found_);
  Rows rows;
  inner_->scan().Only(found_);
  size_t cost = bytes.size() + 64;
  while (inner_->Next()) {
    std::vector<Value>& row = rows.emplace_back();
    for (size_t place = inner_->first(); place < inner_->last(); ++place) {
      row.push_back(inner_->at(place));
      cost += sizeof(Value) + row.back().bytes().size();
    }
  }
  if (kept_bytes_ + cost > kKeptBytes) {
    kept_.clear();
    kept_bytes_ = 0;
  }
  kept_bytes_ += cost;
  return kept_.emplace(std::move(bytes), std::move(rows)).first->second;
}

bool IndexProbe::NextMatch() {
  if (next_ == rows_->size()) return false;
  ++next_;
  return true;
}

// ---- HashProbe ----

HashProbe::HashProbe(std::unique_ptr<Stream> inner, JoinKey key, size_t hash_bytes)
    : inner_(std::move(inner)), key_(std::move(key)), hash_bytes_(hash_bytes) {}

void HashProbe::Fill() {
  rows_.clear();
  bucket_ = nullptr;
  size_t held = 0;
  if (pending_) {
    held += pending_->first.size() + pending_->second.size();
    rows_[std::move(pending_->first)].push_back(std::move(pending_->second));
    pending_.reset();
  }
  // What a held row costs besides its bytes: the string, its slot, a
  // bucket's share.
  constexpr size_t kRowOverhead = 64;
  std::string key, packed;
  while (inner_->Next()) {
    key.clear();
    bool meets = true;
    for (size_t place : key_.inner) {
      if (!AppendJoinKey(key, inner_->at(place))) {
        meets = false;
        break;
      }
    }
    if (!meets) continue;
    packed.clear();
    for (size_t place = inner_->first(); place < inner_->last(); ++place) {
      PackValue(packed, inner_->at(place));
    }
    const size_t cost = key.size() + packed.size() + kRowOverhead;
    if (held > 0 && held + cost > hash_bytes_) {
      pending_.emplace(key, packed);
      exhausted_ = false;
      filled_ = true;
      return;
    }
    held += cost;
    rows_[key].push_back(packed);
  }
  exhausted_ = true;
  filled_ = true;
}

bool HashProbe::NextPart() {
  if (exhausted_) return false;
  Fill();
  return true;
}

void HashProbe::Seek(RowValues& outer) {
  if (!filled_) Fill();
  bucket_ = nullptr;
  next_ = 0;
  probe_.clear();
  for (size_t place : key_.outer) {
    if (!AppendJoinKey(probe_, outer.at(place))) return;
  }
  auto found = rows_.find(probe_);
  if (found != rows_.end()) bucket_ = &found->second;
}

bool HashProbe::NextMatch() {
  if (!bucket_ || next_ == bucket_->size()) return false;
  UnpackValues((*bucket_)[next_++], current_);
  return true;
}

const Value& HashProbe::at(size_t place) { return current_[place - inner_->first()]; }

// ---- JoinStream ----

JoinStream::JoinStream(Kind kind, std::unique_ptr<Stream> outer, std::unique_ptr<Probe> inner,
                       size_t first, size_t middle, size_t last, bool outer_is_left,
                       std::optional<Condition> on)
    : Stream(first, last),
      kind_(kind),
      outer_(std::move(outer)),
      inner_(std::move(inner)),
      middle_(middle),
      outer_is_left_(outer_is_left),
      on_(std::move(on)),
      self_(*this) {}

void JoinStream::Rewind() {
  outer_->Rewind();
  seeking_ = inner_null_ = false;
  ordinal_ = 0;
}

bool JoinStream::Next() {
  for (;;) {
    if (seeking_) {
      inner_null_ = false;
      while (inner_->NextMatch()) {
        if (on_ && !on_->Holds(self_)) continue;
        matched_ = true;
        return true;
      }
      seeking_ = false;
      if (kind_ == JoinStream::Kind::kOuter) {
        const bool met = matched_ || (ordinal_ - 1 < met_.size() && met_[ordinal_ - 1]);
        if (!inner_->LastPart()) {
          // Whether it met one is known only after the last part.
          if (matched_) {
            if (met_.size() < ordinal_) met_.resize(ordinal_, false);
            met_[ordinal_ - 1] = true;
          }
        } else if (!met) {
          inner_null_ = true;
          return true;
        }
      }
    }
    if (!outer_->Next()) {
      if (!inner_->NextPart()) return false;
      outer_->Rewind();
      ordinal_ = 0;
      continue;
    }
    ++ordinal_;
    matched_ = false;
    inner_null_ = false;
    StreamRow outer_row(*outer_);
    inner_->Seek(outer_row);
    seeking_ = true;
  }
}

const Value& JoinStream::at(size_t place) {
  if (InOuter(place)) return outer_->at(place);
  if (inner_null_) return null_;
  return inner_->at(place);
}

}  // namespace act::db::exec
