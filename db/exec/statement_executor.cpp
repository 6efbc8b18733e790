#include "db/exec/statement_executor.h"

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
#include "db/exec/pinned_rows.h"
#include "db/exec/literal_value.h"
#include "db/exec/row_pipeline.h"
#include "db/exec/select_cursor.h"
#include "db/jet/write/ddl.h"
#include "db/jet/write/index_creation.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/write/table_writer.h"
#include "db/jet/table/value_conversion.h"
#include "db/sql/parser.h"

namespace act::db::exec {

namespace {

// Pages a statement may hold in memory before writing them out: bounds the
// memory of an append of any size.
constexpr size_t kFlushEveryPages = 1024;

// Rows read ahead while the rows before them are written: enough that the
// hand-over between threads costs nothing per row, few enough to hold.
constexpr size_t kPipelineBatchRows = 1024;

// Sources of at least this many rows are appended in bulk (index entries
// sorted, then merged into the trees: TableWriter::BeginBulk); a smaller
// append goes row by row, which costs no second pass over the source.
constexpr uint32_t kBulkRows = 1024;

// Rows between two calls of an append's progress function.
constexpr int64_t kProgressEveryRows = 1024;


// Rows a destination refuses without ending the statement.
// Counts a row the destination refused (a value that does not convert or
// fit, a duplicate key, a broken rule) and goes on; any other failure ends
// the statement. Called from a handler, where `throw;` passes the failure on.
void CountRefusal(StatementResult& result, const act::Error& e) {
  switch (e.number()) {
    case kJetConversionError:
    case kJetFieldTooSmall:
    case kJetRecordTooLarge: ++result.conversion_failures; return;
    case kJetDuplicateKey: ++result.key_violations; return;
    case kJetNullInRequired:
    case kJetZeroLengthString:
    case kJetIndexNull:
    case kJetRelatedRecordsExist:
    case kJetRelatedRecordRequired: ++result.rule_violations; return;
    default: throw;
  }
}

// Writes the statement's pages: index pages and TDEF counters first into
// the batch, then everything in the order the pager keeps. A file of its
// own (after IN) is synced at the statement's end; the database the
// statements run on is synced by StatementRunner::Commit (see
// Pager::FlushWrites).
enum class Sync { kNo, kYes };
void Flush(jet::Database& db, jet::TableWriter& writer, Sync sync) {
  writer.Finish();
  db.pager().FlushWrites(sync == Sync::kYes);
}

// The destination of an INSERT: the database itself or the file after IN.
struct Destination {
  std::unique_ptr<jet::Database> owned;
  jet::Database* db = nullptr;
};

Destination OpenDestination(FileSystem& fs, jet::Database& db,
                            const std::optional<std::string>& file, std::string_view statement) {
  Destination d;
  if (!file) {
    d.db = &db;
    return d;
  }
  try {
    d.owned = jet::Database::Open(fs, *file, true);
  } catch (const act::Error& e) {
    if (e.number() == kErrPermissionDenied) {
      throw JetFailure(kJetFileReadOnly, "'" + *file + "' is read-only, in " + QuotedStatement(statement));
    }
    if (e.number() == kJetFileNotFound) {
      throw JetFailure(kJetFileNotFound, "'" + *file + "', in " + QuotedStatement(statement));
    }
    throw;
  }
  d.db = d.owned.get();
  return d;
}

std::shared_ptr<const jet::TableDefinition> TableOf(jet::Database& db, const std::string& name,
                                                    std::string_view statement) {
  if (!db.FindTable(name)) {
    throw JetFailure(kJetTableNotFound, db.path() + ": table '" + name + "', in " +
                                            QuotedStatement(statement));
  }
  return db.Table(name);
}

// Converts `value` for destination column `c`; nullopt = the row is refused.
std::optional<Value> Convert(const jet::ColumnDef& c, const Value& value) {
  return jet::ConvertForColumn(c, value);
}

// The destination column named `name` (in the INSERT's column list, or a
// selected column's name): 3127 when the table lacks it.
size_t DestinationColumn(const jet::Database& db, const jet::TableDefinition& table,
                         const std::string& table_name, const std::string& name,
                         std::string_view statement) {
  const int i = table.ColumnIndex(name);
  if (i < 0) {
    throw JetFailure(kJetUnknownFieldName, db.path() + ": table '" + table_name +
                                               "' has no field '" + name + "', in " +
                                               QuotedStatement(statement));
  }
  return size_t(i);
}

// What each column takes when an INSERT leaves it out: its DefaultValue as
// the column stores it, or Null.
std::vector<Value> ColumnDefaults(const jet::TableWriter& writer,
                                  const jet::TableDefinition& table) {
  std::vector<Value> defaults(table.columns.size());
  for (size_t i = 0; i < table.columns.size(); ++i) {
    const auto& d = writer.properties(i).default_value;
    if (d) {
      if (auto v = Convert(table.columns[i], *d)) defaults[i] = *v;
    }
  }
  return defaults;
}

// A source that only picks columns and filters rows is read straight from
// its table, which lets text go over as stored; anything more (grouping,
// DISTINCT, ORDER BY, TOP) goes through the SELECT cursor.
bool NeedsCursor(const sql::SelectStatement& select) {
  return select.distinct || select.top || !select.group_by.empty() || select.having ||
         !select.order_by.empty() ||
         std::any_of(select.columns.begin(), select.columns.end(), [](const sql::SelectItem& i) {
           return i.expr.kind != sql::Expr::Kind::kColumn;
         });
}

// The source of an INSERT ... SELECT.
struct InsertSource {
  std::shared_ptr<const jet::TableDefinition> table;
  std::unique_ptr<SelectCursor> cursor;  // see NeedsCursor
  std::optional<Condition> where;        // without a cursor
  // The selected columns, in order (positions in the rows read), and the
  // names they are matched by.
  std::vector<int> selected;
  std::vector<std::string> names;
};

InsertSource OpenSource(jet::Database& db, const sql::SelectStatement& select,
                        std::string_view statement) {
  const std::string text(statement);
  InsertSource source;
  source.table = TableOf(db, select.table, statement);
  const jet::TableDefinition& table = *source.table;
  if (NeedsCursor(select)) {
    source.cursor = std::make_unique<SelectCursor>(db, select, text);
    source.names = source.cursor->names();
    for (size_t k = 0; k < source.names.size(); ++k) source.selected.push_back(int(k));
    return source;
  }
  if (select.where) source.where.emplace(*select.where, TableColumns(table, text), text);
  for (size_t i = 0; select.columns.empty() && i < table.columns.size(); ++i) {
    source.selected.push_back(int(i));
    source.names.push_back(table.columns[i].name);
  }
  for (const sql::SelectItem& item : select.columns) {
    const int i = table.ColumnIndex(item.expr.column);
    if (i < 0) {
      throw MissingParameterFailure(db.path() + ": '" + item.expr.column + "' is no column of '" +
                                    select.table + "', in " + QuotedStatement(statement));
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
  RowCopy(jet::Database& db, const InsertSource& source, jet::Database& dest,
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
  StatementResult Finish() {
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
  StatementResult result_;
};

RowCopy::RowCopy(jet::Database& db, const InsertSource& source, jet::Database& dest,
                 const jet::TableDefinition& table, std::vector<int> target,
                 jet::TableWriter& writer, const RowProgress& progress)
    : db_(db),
      source_(source),
      from_(*source.table),
      dest_(dest),
      table_(table),
      target_(std::move(target)),
      writer_(writer),
      progress_(progress),
      same_table_(&dest == &db && table.page == source.table->page),
      defaults_(ColumnDefaults(writer, table)),
      scan_(db.pager(), db.format(), from_),
      helper_decoder_(db.format(), from_) {
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
    ++result_.conversion_failures;
    return;
  }
  try {
    writer_.Append(r.values, &stored_text_, r.prepared);
    ++result_.records_affected;
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

StatementResult RunInsertSelect(FileSystem& fs, jet::Database& db,
                                const sql::InsertSelectStatement& s, std::string_view statement,
                                const RowProgress& progress) {
  InsertSource source = OpenSource(db, s.source, statement);
  Destination dest = OpenDestination(fs, db, s.target_file, statement);
  auto table = TableOf(*dest.db, s.table, statement);
  std::vector<int> target = TargetColumns(*dest.db, *table, s, source.names, statement);
  dest.db->pager().BeginDeferredWrites();
  jet::PageAllocator allocator(*dest.db);
  jet::TableWriter writer(*dest.db, allocator, table);
  RowCopy copy(db, source, *dest.db, *table, std::move(target), writer, progress);
  if (copy.Bulky() && writer.BeginBulk(fs)) {
    copy.RunInBulk(fs);
  } else {
    copy.Run();
  }
  Flush(*dest.db, writer, dest.owned ? Sync::kYes : Sync::kNo);
  dest.db->Reload();
  return copy.Finish();
}

}  // namespace

// A table taking the rows of INSERT ... VALUES: its writer, kept from one
// statement to the next while they go to the same table, and the values
// its columns take when a statement leaves them out.
struct TableAppender {
  TableAppender(jet::Database& database, std::shared_ptr<const jet::TableDefinition> definition)
      : db(database),
        table(std::move(definition)),
        allocator(db),
        writer(db, allocator, table),
        defaults(ColumnDefaults(writer, *table)) {}

  // Nothing of a refused row is written but reserved pages: the writer
  // goes on, and a flush leaves the file consistent.
  void Append(const sql::InsertValuesStatement& s, std::string_view statement) {
    values = defaults;
    auto set = [&](size_t column, const sql::Value& literal) {
      const jet::ColumnDef& c = table->columns[column];
      auto v = Convert(c, LiteralValue(literal));
      if (!v) {
        throw JetFailure(
            kJetConversionError,
            db.path() + ": column '" + c.name + "' cannot take the value, in " + QuotedStatement(statement));
      }
      values[column] = std::move(*v);
    };
    if (s.columns.empty()) {
      if (s.values.size() > table->columns.size()) {
        throw JetFailure(kJetValueCountMismatch,
                         "more values than the table has columns, in " + QuotedStatement(statement));
      }
      for (size_t k = 0; k < s.values.size(); ++k) set(k, s.values[k]);
    } else {
      for (size_t k = 0; k < s.columns.size(); ++k) {
        set(DestinationColumn(db, *table, s.table, s.columns[k], statement), s.values[k]);
      }
    }
    writer.Append(values);
  }

  jet::Database& db;
  std::shared_ptr<const jet::TableDefinition> table;
  jet::PageAllocator allocator;
  jet::TableWriter writer;
  std::vector<Value> defaults;
  std::vector<Value> values;
};

namespace {

// INSERT ... IN 'file' VALUES: the file is opened, written and synced for
// this one row.
StatementResult RunInsertValuesElsewhere(FileSystem& fs, jet::Database& db,
                                         const sql::InsertValuesStatement& s,
                                         std::string_view statement) {
  Destination dest = OpenDestination(fs, db, s.target_file, statement);
  auto table = TableOf(*dest.db, s.table, statement);
  dest.db->pager().BeginDeferredWrites();
  TableAppender appender(*dest.db, table);
  try {
    appender.Append(s, statement);
  } catch (const act::Error&) {
    Flush(*dest.db, appender.writer, Sync::kYes);
    throw;
  }
  Flush(*dest.db, appender.writer, Sync::kYes);
  StatementResult result;
  result.records_affected = 1;
  return result;
}

StatementResult RunUpdate(jet::Database& db, const sql::UpdateStatement& s,
                          std::string_view statement) {
  auto table = TableOf(db, s.table, statement);
  std::optional<Condition> where;
  if (s.where) where.emplace(*s.where, TableColumns(*table, std::string(statement)), std::string(statement));
  std::vector<std::pair<int, Value>> changes;
  for (const sql::Assignment& a : s.assignments) {
    int i = table->ColumnIndex(a.column);
    if (i < 0) {
      throw MissingParameterFailure(db.path() + ": '" + a.column + "' is no column of '" + s.table +
                                    "', in " + QuotedStatement(statement));
    }
    const jet::ColumnDef& c = table->columns[i];
    auto v = Convert(c, LiteralValue(a.value));
    if (!v) {
      throw JetFailure(kJetConversionError, db.path() + ": column '" + c.name +
                                                "' cannot take the value, in " + QuotedStatement(statement));
    }
    changes.emplace_back(i, std::move(*v));
  }
  // Matching rows are found first, so that moving a row cannot make the scan
  // meet it twice.
  std::vector<std::pair<jet::RowPointer, std::vector<Value>>> matches;
  {
    jet::TableScan scan(db.pager(), db.format(), *table);
    if (where) NarrowToPinnedRows(db, *table, *where, scan);
    std::vector<Value> row(table->columns.size());
    while (scan.Next()) {
      for (size_t i = 0; i < table->columns.size(); ++i) row[i] = scan.Get(i);
      if (!where || where->Holds(row)) matches.emplace_back(scan.position(), row);
    }
  }
  db.pager().BeginDeferredWrites();
  jet::PageAllocator allocator(db);
  jet::TableWriter writer(db, allocator, table);
  StatementResult result;
  for (auto& [where, old_values] : matches) {
    std::vector<Value> new_values = old_values;
    for (const auto& [i, v] : changes) new_values[i] = v;
    try {
      if (!(new_values == old_values)) writer.Update(where, old_values, new_values);
      ++result.records_affected;
    } catch (const act::Error& e) {
      CountRefusal(result, e);
    }
    if (db.pager().pending_writes() > kFlushEveryPages) Flush(db, writer, Sync::kNo);
  }
  Flush(db, writer, Sync::kNo);
  db.Reload();
  return result;
}

StatementResult RunCreateIndex(jet::Database& db, const sql::CreateIndexStatement& s,
                               std::string_view statement) {
  jet::IndexRequest index;
  index.name = s.index;
  for (const auto& c : s.columns) index.columns.push_back({c.name, c.descending});
  index.unique = s.unique;
  index.primary = s.primary;
  index.disallow_null = s.disallow_null;
  index.ignore_null = s.ignore_null;
  db.pager().BeginDeferredWrites();
  jet::PageAllocator allocator(db);
  try {
    jet::CreateIndex(db, allocator, s.table, index);
  } catch (const act::Error& e) {
    // Refusals come before any write; the flush only closes the batch.
    db.pager().FlushWrites(false);
    throw act::Error(e.number(), e.text(), e.detail() + ", in " + QuotedStatement(statement));
  }
  db.pager().FlushWrites(false);
  return {};
}

jet::NewColumn ColumnOf(const sql::ColumnDef& c) {
  jet::NewColumn n;
  n.name = c.name;
  switch (c.type) {
    case sql::ColumnType::kBit: n.type = jet::kTypeBoolean; break;
    case sql::ColumnType::kByte: n.type = jet::kTypeByte; break;
    case sql::ColumnType::kShort: n.type = jet::kTypeInteger; break;
    case sql::ColumnType::kLong: n.type = jet::kTypeLong; break;
    case sql::ColumnType::kCounter: n.type = jet::kTypeLong; n.autonumber = true; break;
    case sql::ColumnType::kCurrency: n.type = jet::kTypeCurrency; break;
    case sql::ColumnType::kSingle: n.type = jet::kTypeSingle; break;
    case sql::ColumnType::kDouble: n.type = jet::kTypeDouble; break;
    case sql::ColumnType::kDateTime: n.type = jet::kTypeDateTime; break;
    case sql::ColumnType::kText: n.type = jet::kTypeText; break;
    case sql::ColumnType::kBinary: n.type = jet::kTypeBinary; break;
    case sql::ColumnType::kMemo: n.type = jet::kTypeMemo; break;
    case sql::ColumnType::kLongBinary: n.type = jet::kTypeOle; break;
    case sql::ColumnType::kGuid: n.type = jet::kTypeGuid; break;
  }
  n.length = uint16_t(c.size > 0 ? c.size : 255);
  return n;
}

StatementResult RunCreateTable(jet::Database& db, const sql::CreateTableStatement& s,
                               std::string_view statement) {
  std::vector<jet::NewColumn> columns;
  for (const sql::ColumnDef& c : s.columns) {
    if (c.size > 255) {
      throw JetFailure(kJetInvalidFieldType, db.path() + ": column '" + c.name +
                                                 "' is longer than 255, in " + QuotedStatement(statement));
    }
    columns.push_back(ColumnOf(c));
    // A primary key refuses Null through its index; NOT NULL is the
    // column's own Required property, kept whatever indexes it has.
    columns.back().required = c.not_null;
  }
  std::vector<jet::NewIndex> indexes;
  for (const sql::TableConstraint& k : s.constraints) {
    jet::NewIndex index;
    index.primary = k.kind == sql::TableConstraint::Kind::kPrimaryKey;
    index.unique = true;
    for (const std::string& name : k.columns) {
      int found = -1;
      for (size_t i = 0; i < s.columns.size(); ++i) {
        if (jet::SameName(s.columns[i].name, name)) found = int(i);
      }
      if (found < 0) {
        throw MissingParameterFailure(db.path() + ": '" + name + "' is no column, in " +
                                      QuotedStatement(statement));
      }
      index.columns.emplace_back(uint16_t(found), true);
    }
    index.name = !k.name.empty() ? k.name
                 : index.primary ? std::string("PrimaryKey")
                                 : k.columns.front();
    indexes.push_back(std::move(index));
  }
  jet::CreateTable(db, s.table, columns, indexes);
  return {};
}

}  // namespace

StatementRunner::StatementRunner(FileSystem& fs, jet::Database& db,
                                 std::function<void()> before_first_write)
    : fs_(fs), db_(db), before_first_write_(std::move(before_first_write)) {}

StatementRunner::~StatementRunner() = default;

StatementResult StatementRunner::Execute(std::string_view statement, const RowProgress& progress) {
  sql::Statement parsed;
  try {
    parsed = sql::Parse(statement);
  } catch (const act::Error& e) {
    Failed(e, statement, false);
  }
  return Execute(statement, parsed, progress);
}

StatementResult StatementRunner::Execute(std::string_view statement,
                                         const sql::Statement& parsed,
                                         const RowProgress& progress) {
  // Whether a failure leaves changes of this statement waiting: INSERT ...
  // VALUES refuses a row before it changes anything; the others start from
  // an empty batch, and drop what they leave.
  bool own_changes = false;
  try {
    auto* values = std::get_if<sql::InsertValuesStatement>(&parsed);
    if (values && !values->target_file) return AppendValues(*values, statement);
    Settle();
    own_changes = true;
    if (db_.pager().pending_writes() > 0) db_.pager().FlushWrites(false);
    StatementResult result = Run(statement, parsed, progress);
    unsynced_ = true;
    return result;
  } catch (const act::Error& e) {
    Failed(e, statement, own_changes);
  }
}

void StatementRunner::Failed(const act::Error& e, std::string_view statement, bool own_changes) {
  if (own_changes) {
    db_.pager().DiscardWrites();
    db_.Reload();
  }
  // The statements before this one stay: what they left waiting goes to
  // the file and is synced. Should that fail too, this statement's failure
  // is still the one reported.
  try {
    Commit();
  } catch (const act::Error&) {
  }
  std::string quoted = QuotedStatement(statement);
  if (e.detail().find(quoted) != std::string::npos) throw e;
  throw act::Error(e.number(), e.text(), e.detail() + ", in " + quoted);
}

StatementResult StatementRunner::AppendValues(const sql::InsertValuesStatement& s,
                                              std::string_view statement) {
  const jet::CatalogEntry* entry = db_.FindTable(s.table);
  if (!entry || !appender_ || appender_->table->page != entry->tdef_page) {
    Settle();
    WillWrite();
    db_.pager().BeginDeferredWrites();
    appender_ = std::make_unique<TableAppender>(db_, TableOf(db_, s.table, statement));
  }
  appender_->Append(s, statement);
  unsynced_ = true;
  if (db_.pager().pending_writes() > kFlushEveryPages) {
    appender_->writer.Finish();
    db_.pager().FlushWrites(false);
  }
  StatementResult result;
  result.records_affected = 1;
  return result;
}

void StatementRunner::Settle() {
  if (!appender_) return;
  appender_->writer.Finish();
  appender_.reset();
  db_.Reload();
}

void StatementRunner::Commit() {
  Settle();
  if (unsynced_ || db_.pager().pending_writes() > 0) db_.pager().FlushWrites(true);
  unsynced_ = false;
}

void StatementRunner::WillWrite() {
  if (!before_first_write_) return;
  before_first_write_();  // tried again by the next statement when it fails
  before_first_write_ = nullptr;
}

StatementResult StatementRunner::Run(std::string_view statement, const sql::Statement& parsed,
                                     const RowProgress& progress) {
  if (auto* s = std::get_if<sql::InsertSelectStatement>(&parsed)) {
    if (!s->target_file) WillWrite();
    return RunInsertSelect(fs_, db_, *s, statement, progress);
  }
  if (auto* s = std::get_if<sql::InsertValuesStatement>(&parsed)) {
    return RunInsertValuesElsewhere(fs_, db_, *s, statement);
  }
  if (std::holds_alternative<sql::SelectStatement>(parsed)) {
    throw JetFailure(kJetOperationNotSupported,
                     db_.path() + ": the engine does not run this statement: " + QuotedStatement(statement));
  }
  WillWrite();
  if (auto* s = std::get_if<sql::UpdateStatement>(&parsed)) return RunUpdate(db_, *s, statement);
  if (auto* s = std::get_if<sql::CreateIndexStatement>(&parsed)) {
    return RunCreateIndex(db_, *s, statement);
  }
  return RunCreateTable(db_, std::get<sql::CreateTableStatement>(parsed), statement);
}

StatementResult ExecuteStatement(FileSystem& fs, jet::Database& db, std::string_view statement,
                                 const RowProgress& progress) {
  StatementRunner runner(fs, db);
  StatementResult result = runner.Execute(statement, progress);
  runner.Commit();
  return result;
}

}  // namespace act::db::exec
