#include "db/exec/from_clause.h"

#include <algorithm>

#include "db/errors.h"
#include "db/sql/printer.h"
#include "platform/file_names.h"

namespace act::db::exec {

namespace {

size_t CountTables(const sql::Source& s) {
  if (s.kind == sql::Source::Kind::kTable) return 1;
  return CountTables(s.sides[0]) + CountTables(s.sides[1]);
}

uint64_t EstimatedRows(const sql::Source& s, const std::vector<FromClause::Table>& tables,
                       size_t table) {
  if (s.kind == sql::Source::Kind::kTable) return tables[table].definition->row_count;
  return std::max(EstimatedRows(s.sides[0], tables, table),
                  EstimatedRows(s.sides[1], tables, table + CountTables(s.sides[0])));
}

// The terms ANDed at the top of a condition.
void TopTerms(const sql::Expr& e, std::vector<const sql::Expr*>& out) {
  if (e.kind == sql::Expr::Kind::kAnd) {
    for (const sql::Expr& o : e.operands) TopTerms(o, out);
  } else {
    out.push_back(&e);
  }
}

// Every column a condition names.
void ColumnsOf(const sql::Expr& e, std::vector<const sql::Expr*>& out) {
  if (e.kind == sql::Expr::Kind::kColumn) out.push_back(&e);
  for (const sql::Expr& o : e.operands) ColumnsOf(o, out);
}

}  // namespace

std::string SourceFilePath(const jet::Database& db, const std::string& file) {
  const bool absolute =
      (!file.empty() && IsPathSeparator(file[0])) || (file.size() > 1 && file[1] == ':');
  if (absolute) return file;
  const std::string& database = db.path();
  const size_t folder_end = database.find_last_of("\\/");
  return folder_end == std::string::npos ? file : database.substr(0, folder_end + 1) + file;
}

FromClause::FromClause(FileSystem* fs, jet::Database& db, const sql::Source& from,
                       const sql::Expr* where, const std::string& statement, size_t hash_bytes)
    : statement_(statement), where_(where), hash_bytes_(hash_bytes), db_(db) {
  OpenTables(fs, db, from);
  root_ = Build(from, 0);
  row_ = std::make_unique<StreamRow>(*root_);
}

FromClause::~FromClause() = default;

void FromClause::Refuse(int number, const std::string& what) const {
  throw JetFailure(number, what + ", in " + QuotedStatement(statement_));
}

void FromClause::OpenTables(FileSystem* fs, jet::Database& db, const sql::Source& source) {
  if (source.kind != sql::Source::Kind::kTable) {
    OpenTables(fs, db, source.sides[0]);
    OpenTables(fs, db, source.sides[1]);
    return;
  }
  jet::Database* in = &db;
  if (source.file) {
    if (!fs) Refuse(kJetOperationNotSupported, "a source in another file");
    files_.push_back(jet::Database::Open(*fs, SourceFilePath(db, *source.file), false));
    in = files_.back().get();
  }
  if (!in->FindTable(source.table)) {
    throw JetFailure(kJetTableNotFound,
                     in->path() + ": table '" + source.table + "', in " + QuotedStatement(statement_));
  }
  for (const Table& t : tables_) {
    if (jet::SameName(t.name, source.name())) {
      Refuse(kJetJoinNotSupported, "two sources named '" + source.name() + "'");
    }
  }
  Table t{source.name(), in, in->Table(source.table), width_};
  width_ += t.definition->columns.size();
  tables_.push_back(std::move(t));
}

const FromClause::Table& FromClause::TableAt(size_t place) const {
  auto after = std::upper_bound(tables_.begin(), tables_.end(), place,
                                [](size_t p, const Table& t) { return p < t.first; });
  return *(after - 1);
}

const jet::ColumnDef& FromClause::column(size_t place) const {
  const Table& t = TableAt(place);
  return t.definition->columns[place - t.first];
}

const FromClause::Table& FromClause::Named(const std::string& name) const {
  for (const Table& t : tables_) {
    if (jet::SameName(t.name, name)) return t;
  }
  throw JetFailure(kJetTooFewParameters,
                   "no source named '" + name + "' in FROM, in " + QuotedStatement(statement_));
}

bool FromClause::HasColumn(const std::string& name) const {
  return std::any_of(tables_.begin(), tables_.end(),
                     [&](const Table& t) { return t.definition->ColumnIndex(name) >= 0; });
}

size_t FromClause::Resolve(const sql::Expr& e) const {
  const std::string shown = e.table.empty() ? e.column : e.table + "." + e.column;
  std::optional<size_t> found;
  for (const Table& t : tables_) {
    if (!e.table.empty() && !jet::SameName(t.name, e.table)) continue;
    const int c = t.definition->ColumnIndex(e.column);
    if (c < 0) continue;
    if (found) Refuse(kJetAmbiguousField, "'" + shown + "' could be in more than one of them");
    found = t.first + size_t(c);
  }
  if (!found) {
    if (tables_.size() == 1 && e.table.empty()) {
      Refuse(kJetTooFewParameters, "no column '" + e.column + "' in table '" + tables_[0].name + "'");
    }
    Refuse(kJetTooFewParameters, "no column '" + shown + "' in the tables of FROM");
  }
  return *found;
}

Resolver FromClause::Columns() const {
  return [this](const sql::Expr& operand) {
    if (operand.kind == sql::Expr::Kind::kAggregate) {
      Refuse(kJetAggregateInWhere, sql::ToSql(operand));
    }
    const size_t place = Resolve(operand);
    return Place{place, ClassOfColumn(column(place))};
  };
}

std::unique_ptr<Stream> FromClause::Build(const sql::Source& source, size_t table) {
  if (source.kind != sql::Source::Kind::kTable) return BuildJoin(source, table);
  auto stream = std::make_unique<TableStream>(*tables_[table].db, tables_[table].definition,
                                              tables_[table].first);
  if (tables_.size() == 1) single_ = &stream->scan();
  return stream;
}

std::unique_ptr<Stream> FromClause::BuildJoin(const sql::Source& source, size_t table) {
  using Kind = sql::Source::Kind;
  const sql::Source& left = source.sides[0];
  const sql::Source& right = source.sides[1];
  const size_t right_table = table + CountTables(left);
  const size_t end_table = right_table + CountTables(right);
  const size_t first = tables_[table].first;
  const size_t middle = tables_[right_table].first;
  const size_t last = end_table < tables_.size() ? tables_[end_table].first : width_;

  // ON names only the columns of the sources it joins.
  std::optional<Condition> on;
  if (source.on) {
    std::vector<const sql::Expr*> named;
    ColumnsOf(*source.on, named);
    for (const sql::Expr* c : named) {
      const size_t place = Resolve(*c);
      if (place < first || place >= last) {
        Refuse(kJetJoinNotSupported, "ON names '" + sql::ToSql(*c) + "', which it does not join");
      }
    }
    try {
      on.emplace(*source.on, Columns(), statement_, &db_);
    } catch (const act::Error& e) {
      if (e.number() != kJetTypeMismatch) throw;
      throw JetFailure(kJetJoinTypeMismatch, e.detail());
    }
  }
  // The columns it equates, left with right.
  JoinKey by_left;  // outer: the left's places
  const sql::Expr* keys_from = source.on ? &*source.on : source.kind == Kind::kCross ? where_ : nullptr;
  if (keys_from) {
    std::vector<const sql::Expr*> terms;
    TopTerms(*keys_from, terms);
    for (const sql::Expr* term : terms) {
      if (term->kind != sql::Expr::Kind::kCompare || term->op != sql::CompareOp::kEqual ||
          term->operands[0].kind != sql::Expr::Kind::kColumn ||
          term->operands[1].kind != sql::Expr::Kind::kColumn) {
        continue;
      }
      size_t a = Resolve(term->operands[0]), b = Resolve(term->operands[1]);
      if (a > b) std::swap(a, b);
      if (a < first || a >= middle || b < middle || b >= last) continue;
      by_left.outer.push_back(a);
      by_left.inner.push_back(b);
    }
  }
  const JoinKey by_right{by_left.inner, by_left.outer};

  // An index of a lone table whose columns are all equated.
  auto index_of = [&](const sql::Source& side, size_t t, const JoinKey& key) -> const jet::RealIndex* {
    if (side.kind != Kind::kTable || key.inner.empty()) return nullptr;
    const jet::TableDefinition& def = *tables_[t].definition;
    const jet::RealIndex* best = nullptr;
    for (const jet::RealIndex& index : def.real_indexes) {
      bool covered = !index.columns.empty();
      for (const jet::IndexColumn& c : index.columns) {
        const jet::ColumnDef* column = def.ColumnByNumber(c.column_number);
        // Text keys of Jet 4 indexes are not made here.
        covered = covered && column && (tables_[t].db->format().is_jet3() ||
                                        ClassOfColumn(*column) != ValueClass::kText);
        const size_t place = tables_[t].first + size_t(column ? column - def.columns.data() : 0);
        covered = covered &&
                  std::find(key.inner.begin(), key.inner.end(), place) != key.inner.end();
      }
      if (covered && (!best || index.columns.size() > best->columns.size())) best = &index;
    }
    return best;
  };
  auto probe_of = [&](const sql::Source& side, size_t t, const JoinKey& key) -> std::unique_ptr<Probe> {
    if (const jet::RealIndex* index = index_of(side, t, key)) {
      auto stream = std::make_unique<TableStream>(*tables_[t].db, tables_[t].definition,
                                                  tables_[t].first);
      return std::make_unique<IndexProbe>(std::move(stream), *tables_[t].db,
                                          *tables_[t].definition, *index, key);
    }
    return std::make_unique<HashProbe>(Build(side, t), key, hash_bytes_);
  };

  bool outer_is_left = true;
  if (source.kind == Kind::kRight) {
    outer_is_left = false;
  } else if (source.kind == Kind::kInner || source.kind == Kind::kCross) {
    // Look up the side with an index; else hold the smaller side.
    if (!index_of(right, right_table, by_left)) {
      outer_is_left = !(index_of(left, table, by_right) ||
                        EstimatedRows(left, tables_, table) < EstimatedRows(right, tables_, right_table));
    }
  }
  const JoinStream::Kind kind = source.kind == Kind::kLeft || source.kind == Kind::kRight
                                    ? JoinStream::Kind::kOuter
                                    : JoinStream::Kind::kInner;
  if (outer_is_left) {
    return std::make_unique<JoinStream>(kind, Build(left, table), probe_of(right, right_table, by_left),
                                        first, middle, last, true, std::move(on));
  }
  return std::make_unique<JoinStream>(kind, Build(right, right_table), probe_of(left, table, by_right),
                                      first, middle, last, false, std::move(on));
}

}  // namespace act::db::exec
