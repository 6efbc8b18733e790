// The rows of a FROM clause, as streams that each hand out the rows of a
// part of it. Every column of every table of the clause has a place, the
// tables' columns one after another in the order the clause names them,
// so that a part (one table, or the sources of a join) covers a range of
// places, and conditions, grouping and sorting address the joined row by
// place as they address a single table's.
//
// A join reads its outer side as a stream and, for each outer row, asks
// its inner side for the rows that can match it (a Probe):
// - IndexProbe: the inner side is one table with an index over the
//   columns the ON condition equates with the outer side's; each outer
//   row is a key lookup (the reader keeps the index pages it decoded) and
//   the matching rows are read where they lie.
// - HashProbe: anything else. The inner side's rows are held, packed, in
//   a hash table by the values of those columns (all in one bucket when
//   there are none: a cross join). Past kHashBytes the side is held a
//   part at a time, and the outer side read once for each part; an outer
//   join then remembers which outer rows met a partner, a bit each.
// The whole ON condition is tested on every pair the probe offers; an
// outer row of a LEFT (RIGHT) join that meets none comes once, with Null
// in every column of the other side.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/exec/condition.h"
#include "db/jet/index/index_reader.h"
#include "db/jet/table/database.h"
#include "db/jet/table/table_scan.h"
#include "db/value.h"

namespace act::db::exec {

// A part of the FROM clause: places [first, last).
class Stream {
 public:
  Stream(size_t first, size_t last) : first_(first), last_(last) {}
  virtual ~Stream() = default;
  // Moves to the next row; false past the last.
  virtual bool Next() = 0;
  virtual void Rewind() = 0;
  // The value at `place` (within the part) in the current row.
  virtual const Value& at(size_t place) = 0;
  // How many rows it is guessed to give (to choose the side to hold).
  virtual uint64_t EstimatedRows() const = 0;

  size_t first() const { return first_; }
  size_t last() const { return last_; }

 private:
  size_t first_, last_;
};

// The current row of a part, as conditions read it.
class StreamRow final : public RowValues {
 public:
  explicit StreamRow(Stream& stream) : stream_(stream) {}
  const Value& at(size_t place) override { return stream_.at(place); }

 private:
  Stream& stream_;
};

// One table's rows, each column decoded when first asked for.
class TableStream final : public Stream {
 public:
  TableStream(jet::Database& db, std::shared_ptr<const jet::TableDefinition> table, size_t first);
  bool Next() override;
  void Rewind() override { scan_.Rewind(); }
  const Value& at(size_t place) override;
  uint64_t EstimatedRows() const override { return table_->row_count; }

  jet::TableScan& scan() { return scan_; }

 private:
  std::shared_ptr<const jet::TableDefinition> table_;
  jet::TableScan scan_;
  std::vector<Value> values_;
  std::vector<uint64_t> read_;  // the row each value was read for
  uint64_t generation_ = 1;
};

// The inner side of a join: the rows that may match an outer row.
class Probe {
 public:
  virtual ~Probe() = default;
  // Starts on the rows for the outer row `outer` shows.
  virtual void Seek(RowValues& outer) = 0;
  // The next of them; false when there is none left.
  virtual bool NextMatch() = 0;
  virtual const Value& at(size_t place) = 0;
  // Rows held a part at a time: whether the part held is the last, and
  // taking the next (false when there is none; the outer side is then read
  // again).
  virtual bool LastPart() const { return true; }
  virtual bool NextPart() { return false; }
};

// Equated columns of a join: outer[i] = inner[i], by place.
struct JoinKey {
  std::vector<size_t> outer, inner;
};

// Lookups in an index of the inner table whose columns are all among
// `key.inner`. The rows found for a key are kept (up to kKeptBytes, then
// dropped all at once), so that a key met again (the genre of every song)
// costs neither a lookup nor a row read.
class IndexProbe final : public Probe {
 public:
  IndexProbe(std::unique_ptr<TableStream> inner, jet::Database& db,
             const jet::TableDefinition& table, const jet::RealIndex& index, const JoinKey& key);
  void Seek(RowValues& outer) override;
  bool NextMatch() override;
  const Value& at(size_t place) override { return (*rows_)[next_ - 1][place - inner_->first()]; }

 private:
  static constexpr size_t kKeptBytes = size_t(8) << 20;
  using Rows = std::vector<std::vector<Value>>;
  const Rows& Lookup(const jet::KeyBytes& key);

  std::unique_ptr<TableStream> inner_;
  const jet::Format& format_;
  const jet::TableDefinition& table_;
  const jet::RealIndex& index_;
  jet::IndexReader reader_;
  // For each column of the index, the outer place whose value it takes.
  std::vector<std::pair<size_t, size_t>> columns_;  // (table column, outer place)
  std::vector<Value> row_;
  std::vector<jet::RowPointer> found_;
  std::unordered_map<std::string, Rows> kept_;
  size_t kept_bytes_ = 0;
  const Rows none_;
  const Rows* rows_ = &none_;
  size_t next_ = 0;
};

// The inner side held in memory, by its key's values.
class HashProbe final : public Probe {
 public:
  HashProbe(std::unique_ptr<Stream> inner, JoinKey key, size_t hash_bytes);
  void Seek(RowValues& outer) override;
  bool NextMatch() override;
  const Value& at(size_t place) override;
  bool LastPart() const override { return exhausted_; }
  bool NextPart() override;

 private:
  // Reads the inner rows into the table until kHashBytes; false when the
  // side is done.
  void Fill();

  std::unique_ptr<Stream> inner_;
  JoinKey key_;
  size_t hash_bytes_;
  bool exhausted_ = false;
  bool filled_ = false;
  // The row that did not fit the part before: its key and its values.
  std::optional<std::pair<std::string, std::string>> pending_;
  std::unordered_map<std::string, std::vector<std::string>> rows_;  // key -> packed rows
  const std::vector<std::string>* bucket_ = nullptr;
  size_t next_ = 0;
  std::vector<Value> current_;  // the current match, by place - inner first
  std::string probe_;
};

// Two parts joined. `outer_is_left` false for a RIGHT join (and an inner
// join turned round to use the left side's index).
class JoinStream final : public Stream {
 public:
  enum class Kind { kInner, kOuter };  // kOuter keeps the outer rows without a partner
  JoinStream(Kind kind, std::unique_ptr<Stream> outer, std::unique_ptr<Probe> inner,
             size_t first, size_t middle, size_t last, bool outer_is_left,
             std::optional<Condition> on);
  bool Next() override;
  void Rewind() override;
  const Value& at(size_t place) override;
  uint64_t EstimatedRows() const override { return outer_->EstimatedRows(); }

 private:
  bool InOuter(size_t place) const {
    return outer_is_left_ ? place < middle_ : place >= middle_;
  }

  Kind kind_;
  std::unique_ptr<Stream> outer_;
  std::unique_ptr<Probe> inner_;
  size_t middle_;
  bool outer_is_left_;
  std::optional<Condition> on_;
  StreamRow self_;
  bool seeking_ = false;     // the current outer row's matches are being read
  bool matched_ = false;     // the current outer row met a partner
  bool inner_null_ = false;  // the row handed out has no partner
  bool last_part_ = true;    // the probe holds its last part
  uint64_t ordinal_ = 0;     // of the current outer row in this pass
  std::vector<bool> met_;    // outer joins read in parts: rows that met one
  Value null_;
};

// Where joined rows' key values meet: equal keys for values that are equal
// in a condition (text by its compare key, numbers by value whatever their
// type); nullopt for a Null, which meets nothing.
bool AppendJoinKey(std::string& key, const Value& v);

}  // namespace act::db::exec
