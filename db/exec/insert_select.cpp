// INSERT INTO t [(cols)] [IN 'file'] SELECT ...: the source rows read,
// converted and appended through a pipeline of stages, in bulk when the
// source is large.
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "db/errors.h"
#include "db/exec/bulk_append.h"
#include "db/exec/condition.h"
#include "db/exec/from_clause.h"
#include "db/exec/pinned_rows.h"
#include "db/exec/row_pipeline.h"
#include "db/exec/select_cursor.h"
#include "db/exec/statement_support.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/value_conversion.h"

namespace act::db::exec {

namespace {

// Rows read ahead while the rows before them are written: enough that the
// hand-over between threads costs nothing per row, few enough to hold.
constexpr size_t kPipelineBatchRows = 1024;

// Sources of at least this many rows are appended in bulk (index entries
// sorted, then merged into the trees: TableWriter::BeginBulk); a smaller
// append goes row by row, which costs no second pass over the source.
constexpr uint32_t kBulkRows = 1024;

// Rows between two calls of an append's progress function.
constexpr int64_t kProgressEveryRows = 1024;

bool Qualified(const sql::Expr& e) {
  return !e.table.empty() ||
         std::any_of(e.operands.begin(), e.operands.end(), [](const sql::Expr& o) { return Qualified(o); });
}

// A source that only picks columns of one table and filters its rows is
// read straight from the table, which lets text go over as stored;
// anything more (joins, names qualified, grouping, DISTINCT, ORDER BY,
// TOP) goes through the SELECT cursor.
bool NeedsCursor(const sql::SelectStatement& select) {
  return select.from.kind != sql::Source::Kind::kTable || !select.from.alias.empty() ||
         (select.where && Qualified(*select.where)) || select.distinct || select.top ||
         !select.group_by.empty() || select.having || !select.unions.empty() ||
         !select.order_by.empty() ||
         std::any_of(select.columns.begin(), select.columns.end(), [](const sql::SelectItem& i) {
           return !i.all_of.empty() || i.expr.kind != sql::Expr::Kind::kColumn || Qualified(i.expr);
         });
}

// The source of an INSERT ... SELECT.
struct InsertSource {
  std::unique_ptr<jet::Database> file;  // the database after IN, read straight
  jet::Database* db = nullptr;          // where `table` lies
  std::shared_ptr<const jet::TableDefinition> table;  // the (first) table read
  std::unique_ptr<SelectCursor> cursor;  // see NeedsCursor
  std::optional<Condition> where;        // without a cursor
  // The selected columns, in order (positions in the rows read), and the
  // names they are matched by.
  std::vector<int> selected;
  std::vector<std::string> names;

  // Whether it reads `table` of `dest`.
  bool Reads(const jet::Database& dest, const jet::TableDefinition& table) const {
    if (!cursor) return db == &dest && this->table->page == table.page;
    for (const FromClause::Table& t : cursor->from().tables()) {
      if (t.db == &dest && t.definition->page == table.page) return true;
    }
    return false;
  }
};

InsertSource OpenSource(FileSystem& fs, jet::Database& db, const sql::SelectStatement& select,
                        std::string_view statement) {
  const std::string text(statement);
  InsertSource source;
  if (NeedsCursor(select)) {
    source.cursor = std::make_unique<SelectCursor>(db, select, text, &fs);
    const FromClause::Table& first = source.cursor->from().tables().front();
    source.db = first.db;
    source.table = first.definition;
    source.names = source.cursor->names();
    for (size_t k = 0; k < source.names.size(); ++k) source.selected.push_back(int(k));
    return source;
  }
  source.db = &db;
  if (select.from.file) {
    source.file = jet::Database::Open(fs, SourceFilePath(db, *select.from.file), false);
    source.db = source.file.get();
  }
  source.table = TableOf(*source.db, select.from.table, statement);
  const jet::TableDefinition& table = *source.table;
  if (select.where) source.where.emplace(*select.where, TableColumns(table, text), text, &db);
  for (size_t i = 0; select.columns.empty() && i < table.columns.size(); ++i) {
    source.selected.push_back(int(i));
    source.names.push_back(table.columns[i].name);
  }
  for (const sql::SelectItem& item : select.columns) {
    const int i = table.ColumnIndex(item.expr.column);
    if (i < 0) {
      throw MissingParameterFailure(source.db->path() + ": '" + item.expr.column +
                                    "' is no column of '" + select.from.table + "', in " +
                                    QuotedStatement(statement));
    }
    source.selected.push_back(i);
    source.names.push_back(item.alias.empty() ? table.columns[size_t(i)].name : item.alias);
  }
  return source;
}

// The destination column of each selected one: by the INSERT's list, or by
// name.
std::vector<int> TargetColumns(const jet::Database& dest, const jet::TableDefinition& table,
                               const sql::InsertSelectStatement& s,
                               const std::vector<std::string>& names, std::string_view statement) {
  if (!s.columns.empty() && s.columns.size() != names.size()) {
    throw JetFailure(kJetValueCountMismatch,
                     "the column lists differ in length, in " + QuotedStatement(statement));
  }
  std::vector<int> target;
  for (size_t k = 0; k < names.size(); ++k) {
    const std::string& name = s.columns.empty() ? names[k] : s.columns[k];
    target.push_back(int(DestinationColumn(dest, table, s.table, name, statement)));
  }
  return target;
}

// Each row's values as read and as the destination takes them. A source
// value selected once is swapped in rather than copied, and the scan
// refills the buffers it gets back, so a long append neither copies nor
// allocates its text.
struct PendingRow {
  jet::RowBytes stored;           // the row as the source holds it, when read on the helper
  std::exception_ptr read_error;  // a row that did not decode, reported at its turn
  std::vector<Value> read;
  std::vector<Value> values;
  bool converted = false;  // false: a value did not convert, the row is refused
  jet::PreparedRow prepared;
};

// The rows of one INSERT ... SELECT on their way from the source to the
// destination's writer, in the stages of RunPipelined: read (Fill),
// converted and encoded (Prepare, which reads only what does not change
// while the statement runs, so that it may run on another thread than the
// writer's), written (Commit).
class RowCopy {
 public:
  RowCopy(const InsertSource& source, jet::Database& dest,
          const jet::TableDefinition& table, std::vector<int> target, jet::TableWriter& writer,
          const RowProgress& progress);

  // Whether the rows may be appended in bulk (TableWriter::BeginBulk).
  bool Bulky() const { return !same_table_ && !source_.cursor && from_.row_count >= kBulkRows; }
  void Run() {
    RunPipelined<PendingRow>(
        kPipelineBatchRows, [this](PendingRow& r) { return Fill(r); },
        [this](PendingRow& r) { Prepare(r); }, [this](PendingRow& r) { Commit(r); });
  }
  void RunInBulk(FileSystem& fs);
  // After the last row and the writer's last flush.
  StatementCounts Finish() {
    if (progress_) progress_(committed_, from_.row_count);
    return result_;
  }

 private:
  void PlanColumns();
  bool ReadRow(std::vector<Value>& row);
  void Decode(PendingRow& r);
  bool Fill(PendingRow& r);
  void Prepare(PendingRow& r);
  void Commit(PendingRow& r);
  // Counts a prepared row in the writer's census; false when it cannot.
  bool Census(PendingRow& r);

  jet::Database& db_;
  const InsertSource& source_;
  const jet::TableDefinition& from_;
  jet::Database& dest_;
  const jet::TableDefinition& table_;
  const std::vector<int> target_;
  jet::TableWriter& writer_;
  const RowProgress& progress_;
  const bool same_table_;

  // Columns the statement leaves out take their DefaultValue.
  std::vector<size_t> untargeted_;
  std::vector<Value> defaults_;
  std::vector<bool> selected_once_;
  // Text copied between Jet 3 tables goes over as stored (Windows-1252),
  // converted neither way, unless a WHERE clause reads it.
  std::vector<bool> stored_text_;  // by destination column
  std::vector<bool> read_stored_;  // by source column
  // SELECT * into a table of the same design (the carry-over's copies): a
  // row whose values are all of their column's kind goes over whole.
  bool same_design_ = false;
  // Without long values (which read further pages) a row's values come
  // from its own bytes alone, so the helper can decode them: the scan here
  // only finds each row, and holds its page for the helper.
  bool read_on_helper_ = false;
  // The census pass of a bulk append reads only the columns the writer's
  // census needs (those of its unique keys and counters).
  bool counting_ = false;
  std::vector<bool> census_reads_;

  jet::TableScan scan_;
  jet::RowDecoder helper_decoder_;
  // Reads from the table itself are all done before the first row is
  // written, so that the statement does not read its own rows.
  std::vector<std::vector<Value>> snapshot_;
  size_t next_in_snapshot_ = 0;
  int64_t committed_ = 0;
  StatementCounts result_;
};

RowCopy::RowCopy(const InsertSource& source, jet::Database& dest,
                 const jet::TableDefinition& table, std::vector<int> target,
                 jet::TableWriter& writer, const RowProgress& progress)
    : db_(*source.db),
      source_(source),
      from_(*source.table),
      dest_(dest),
      table_(table),
      target_(std::move(target)),
      writer_(writer),
      progress_(progress),
      same_table_(source.Reads(dest, table)),
      defaults_(ColumnDefaults(writer, table)),
      scan_(db_.pager(), db_.format(), from_),
      helper_decoder_(db_.format(), from_) {
  PlanColumns();
  if (same_table_) {
    for (std::vector<Value> row; ReadRow(row);) snapshot_.push_back(row);
  }
}

void RowCopy::PlanColumns() {
  const std::vector<int>& selected = source_.selected;
  for (size_t i = 0; i < table_.columns.size(); ++i) {
    if (std::find(target_.begin(), target_.end(), int(i)) == target_.end()) {
      untargeted_.push_back(i);
    }
  }
  selected_once_.resize(selected.size());
  for (size_t k = 0; k < selected.size(); ++k) {
    selected_once_[k] = std::count(selected.begin(), selected.end(), selected[k]) == 1;
  }
  stored_text_.assign(table_.columns.size(), false);
  read_stored_.assign(from_.columns.size(), false);
  const bool text_as_stored = db_.format().is_jet3() && dest_.format().is_jet3() &&
                              !source_.where && !same_table_ && !source_.cursor;
  for (size_t k = 0; k < selected.size() && text_as_stored; ++k) {
    if (selected_once_[k] && from_.columns[selected[k]].type == jet::kTypeText &&
        table_.columns[target_[k]].type == jet::kTypeText) {
      stored_text_[target_[k]] = true;
      read_stored_[selected[k]] = true;
    }
  }
  same_design_ = !source_.cursor && untargeted_.empty() &&
                 selected.size() == table_.columns.size() &&
                 from_.columns.size() == table_.columns.size();
  for (size_t k = 0; k < selected.size() && same_design_; ++k) {
    same_design_ = selected[k] == int(k) && target_[k] == int(k);
  }
  read_on_helper_ = !same_table_ && !source_.where && !source_.cursor &&
                    std::none_of(from_.columns.begin(), from_.columns.end(),
                                 [](const jet::ColumnDef& c) { return c.is_long_value(); });
  census_reads_.assign(from_.columns.size(), false);
  for (size_t k = 0; k < selected.size(); ++k) {
    if (writer_.census_reads(size_t(target_[k]))) census_reads_[size_t(selected[k])] = true;
  }
}

bool RowCopy::ReadRow(std::vector<Value>& row) {
  if (source_.cursor) {
    if (!source_.cursor->Next()) return false;
    row = source_.cursor->values();
    return true;
  }
  row.resize(from_.columns.size());
  while (scan_.Next()) {
    for (size_t i = 0; i < from_.columns.size(); ++i) {
      if (read_stored_[i]) scan_.ReadStoredText(i, row[i]);
      else scan_.Read(i, row[i]);
    }
    if (source_.where && !source_.where->Holds(row)) continue;
    return true;
  }
  return false;
}

void RowCopy::Decode(PendingRow& r) {
  try {
    helper_decoder_.Split(*r.stored.page, r.stored.bytes);
    const auto& slices = helper_decoder_.slices();
    r.read.resize(from_.columns.size());
    for (size_t i = 0; i < from_.columns.size(); ++i) {
      if (counting_ && !census_reads_[i]) {
        r.read[i] = Value();
      } else if (read_stored_[i]) {
        jet::StoredTextInto(slices[i], r.read[i]);
      } else {
        jet::DecodeValueInto(db_.pager(), db_.format(), *r.stored.page, from_.columns[i],
                             slices[i], r.read[i]);
      }
    }
  } catch (...) {
    r.read_error = std::current_exception();
  }
  r.stored = {};
}

bool RowCopy::Fill(PendingRow& r) {
  if (read_on_helper_) {
    if (!scan_.NextStored()) return false;
    r.stored = scan_.row();
    return true;
  }
  if (!same_table_) return ReadRow(r.read);
  if (next_in_snapshot_ == snapshot_.size()) return false;
  r.read = std::move(snapshot_[next_in_snapshot_++]);
  return true;
}

void RowCopy::Prepare(PendingRow& r) {
  if (read_on_helper_) {
    Decode(r);
    if (r.read_error) return;
  }
  std::vector<Value>& row = r.read;
  std::vector<Value>& values = r.values;
  values.resize(table_.columns.size());
  bool whole = same_design_;
  for (size_t k = 0; k < row.size() && whole; ++k) {
    whole = jet::IsOfColumnKind(table_.columns[k], row[k]);
  }
  if (whole) std::swap(values, row);
  for (size_t i : untargeted_) values[i] = defaults_[i];
  r.converted = true;
  const std::vector<int>& selected = source_.selected;
  for (size_t k = 0; k < selected.size() && !whole; ++k) {
    Value& from = row[selected[k]];
    const jet::ColumnDef& column = table_.columns[target_[k]];
    if (jet::IsOfColumnKind(column, from)) {
      if (selected_once_[k]) std::swap(values[target_[k]], from);
      else values[target_[k]] = from;
      continue;
    }
    auto v = Convert(column, from);
    if (!v) {
      r.converted = false;
      return;
    }
    values[target_[k]] = std::move(*v);
  }
  if (counting_) {
    writer_.PrepareCensus(values, &stored_text_, r.prepared);
  } else {
    writer_.Prepare(values, &stored_text_, r.prepared);
  }
}

void RowCopy::Commit(PendingRow& r) {
  if (progress_ && ++committed_ % kProgressEveryRows == 0) progress_(committed_, from_.row_count);
  if (r.read_error) std::rethrow_exception(std::exchange(r.read_error, nullptr));
  if (!r.converted) {
    ++result_.refused_value;
    return;
  }
  try {
    writer_.Append(r.values, &stored_text_, r.prepared);
    ++result_.changed;
  } catch (const act::Error& e) {
    CountRefusal(result_, e);
  }
  if (dest_.pager().pending_writes() > kFlushEveryPages) Flush(dest_, writer_, Sync::kNo);
}

bool RowCopy::Census(PendingRow& r) {
  // A row that does not read or convert is left to its turn.
  const bool decided =
      r.read_error || !r.converted || writer_.Census(r.values, &stored_text_, r.prepared);
  r.read_error = nullptr;
  return decided;
}

void RowCopy::RunInBulk(FileSystem& fs) {
  AppendInBulk<PendingRow>(
      writer_, fs, kPipelineBatchRows, counting_, [this] { scan_.Rewind(); },
      [this](PendingRow& r) { return Fill(r); }, [this](PendingRow& r) { Prepare(r); },
      [this](PendingRow& r) { Commit(r); }, [this](PendingRow& r) { return Census(r); },
      [this] { Flush(dest_, writer_, Sync::kNo); }, kFlushEveryPages);
}

}  // namespace

StatementCounts RunInsertSelect(FileSystem& fs, jet::Database& db,
                                const sql::InsertSelectStatement& s, std::string_view statement,
                                const RowProgress& progress) {
  InsertSource source = OpenSource(fs, db, s.source, statement);
  Destination dest = OpenDestination(fs, db, s.target_file, statement);
  auto table = TableOf(*dest.db, s.table, statement);
  std::vector<int> target = TargetColumns(*dest.db, *table, s, source.names, statement);
  dest.db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*dest.db);
  jet::TableWriter writer(*dest.db, allocator, table);
  RowCopy copy(source, *dest.db, *table, std::move(target), writer, progress);
  if (copy.Bulky() && writer.BeginBulk(fs)) {
    copy.RunInBulk(fs);
  } else {
    copy.Run();
  }
  Flush(*dest.db, writer, dest.owned ? Sync::kYes : Sync::kNo);
  dest.db->Reload();
  return copy.Finish();
}

}  // namespace act::db::exec
