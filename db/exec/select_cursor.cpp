#include "db/exec/select_cursor.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "db/errors.h"
#include "db/exec/aggregate.h"
#include "db/exec/condition.h"
#include "db/exec/from_clause.h"
#include "db/exec/packed_row.h"
#include "db/exec/pinned_rows.h"
#include "db/exec/value_order.h"
#include "db/jet/table/table_scan.h"
#include "db/sql/printer.h"

namespace act::db::exec {

namespace {

[[noreturn]] void Refuse(int number, const std::string& what, const std::string& statement) {
  throw JetFailure(number, what + ", in " + QuotedStatement(statement));
}

// The current row of the FROM clause (each column decoded once, when a
// condition or the result first asks for it); past its places, the values
// the statement computes from them (its expressions), each once a row too.
class ScanRow final : public RowValues {
 public:
  ScanRow(RowValues& from, size_t width) : from_(from), width_(width) {}
  void NextRow() { ++generation_; }
  // A computed value, at place width + its number.
  size_t Compute(Expression e) {
    computed_.push_back(std::move(e));
    values_.emplace_back();
    read_.push_back(0);
    return width_ + computed_.size() - 1;
  }
  const Value& at(size_t place) override {
    if (place < width_) return from_.at(place);
    const size_t k = place - width_;
    if (read_[k] != generation_) {
      values_[k] = computed_[k].Evaluate(*this);
      read_[k] = generation_;
    }
    return values_[k];
  }

 private:
  RowValues& from_;
  size_t width_;
  std::vector<Expression> computed_;
  std::vector<Value> values_;
  std::vector<uint64_t> read_;  // the row each value was computed for
  uint64_t generation_ = 1;
};

struct AggregateColumn {
  sql::Aggregate function = sql::Aggregate::kCount;
  std::optional<size_t> operand;  // its place in the scan row; none: COUNT(*)
};

// A row of a held result: its key, its values packed, then two lengths of
// four bytes: the key's, and that of the key's first part, the ORDER BY
// terms. The key is those terms, then (DISTINCT) every value of the row,
// then the row's arrival number; keys are prefix-free (value_order.h), so
// comparing whole entries compares their keys, and rows that tie keep the
// order they came in.
using Entry = std::string;

uint32_t Length(const Entry& e, size_t from_end) {
  uint32_t length;
  std::memcpy(&length, e.data() + e.size() - from_end, 4);
  return length;
}
std::string_view KeyOf(const Entry& e) { return std::string_view(e).substr(0, Length(e, 8)); }
std::string_view OrderOf(const Entry& e) { return std::string_view(e).substr(0, Length(e, 4)); }
std::string_view RowOf(const Entry& e) {
  const size_t key = Length(e, 8);
  return std::string_view(e).substr(key, e.size() - 8 - key);
}

constexpr size_t kArrivalBytes = 8;

// Places from here on stand, while a grouped SELECT is bound, for values
// computed from the group's row; they are renumbered once all aggregates
// are known.
constexpr size_t kComputedBase = size_t(1) << 30;
void AppendArrival(std::string& key, uint64_t n) {
  for (int shift = 56; shift >= 0; shift -= 8) key += char(n >> shift);
}
void AppendLength(std::string& e, size_t length) {
  const uint32_t n = uint32_t(length);
  e.append(reinterpret_cast<const char*>(&n), 4);
}

}  // namespace

struct SelectCursor::Query {
  Query(FileSystem* fs, jet::Database& db, const sql::SelectStatement& s, const std::string& text)
      : statement(text),
        from(fs, db, s.from, s.where ? &*s.where : nullptr, text),
        row(from.row(), from.width()) {}

  std::string statement;
  FromClause from;
  ScanRow row;
  std::optional<Condition> where;

  // A grouped SELECT (GROUP BY, HAVING or an aggregate) makes one row per
  // group: its grouped columns, then its aggregates. `outputs` and `order`
  // are places in those rows; otherwise they are the joined row's.
  bool grouped = false;
  std::vector<size_t> group_columns;  // places in the scan row
  std::vector<AggregateColumn> aggregates;
  std::vector<Expression> group_computed;  // past the grouped values and aggregates
  std::optional<Condition> having;
  std::vector<size_t> outputs;
  std::vector<std::pair<size_t, bool>> order;  // place, descending
  bool distinct = false;
  std::optional<int64_t> top;
  bool top_percent = false;

  std::vector<std::unique_ptr<SelectCursor>> parts;  // of a UNION

  bool streams = false;
  int64_t returned = 0;
  bool held = false;
  std::vector<Entry> result;
  size_t next = 0;
};

namespace {

// Collects the rows of a result that cannot stream, and hands them back in
// the statement's order. DISTINCT and TOP bound what it holds: once the
// rows held double, they are sorted and the duplicates, and the rows past
// TOP n, dropped.
class ResultCollector {
 public:
  ResultCollector(const std::vector<size_t>& outputs,
                  const std::vector<std::pair<size_t, bool>>& order, bool distinct,
                  std::optional<int64_t> top)
      : outputs_(outputs), order_(order), distinct_(distinct), top_(top) {}

  void Add(RowValues& r) {
    Entry e;
    for (const auto& [place, descending] : order_) AppendOrderKey(e, r.at(place), descending);
    const size_t order_length = e.size();
    if (distinct_) {
      for (size_t place : outputs_) AppendOrderKey(e, r.at(place));
    }
    if (distinct_ || !order_.empty()) AppendArrival(e, arrivals_++);
    const size_t key_length = e.size();
    for (size_t place : outputs_) PackValue(e, r.at(place));
    AppendLength(e, key_length);
    AppendLength(e, order_length);
    entries_.push_back(std::move(e));
    if ((distinct_ || (top_ && !order_.empty())) && entries_.size() >= shrink_at_) {
      Shrink();
      shrink_at_ = std::max<size_t>(2 * entries_.size(), kShrinkAtLeast);
    }
  }

  std::vector<Entry> Finish() {
    Shrink();
    return std::move(entries_);
  }

 private:
  static constexpr size_t kShrinkAtLeast = 4096;

  void Shrink() {
    if (distinct_ || !order_.empty()) std::sort(entries_.begin(), entries_.end());
    if (distinct_) {
      // Equal rows are neighbours now, the first that came first.
      auto without_arrival = [](const Entry& e) {
        std::string_view key = KeyOf(e);
        return key.substr(0, key.size() - kArrivalBytes);
      };
      auto last = std::unique(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
        return without_arrival(a) == without_arrival(b);
      });
      entries_.erase(last, entries_.end());
    }
    if (!top_ || int64_t(entries_.size()) <= *top_) return;
    size_t keep = size_t(*top_);
    // TOP n of a sort returns the rows that tie with the n-th too.
    while (!order_.empty() && keep < entries_.size() &&
           OrderOf(entries_[keep]) == OrderOf(entries_[size_t(*top_) - 1])) {
      ++keep;
    }
    entries_.resize(keep);
  }

  const std::vector<size_t>& outputs_;
  const std::vector<std::pair<size_t, bool>>& order_;
  bool distinct_;
  std::optional<int64_t> top_;
  std::vector<Entry> entries_;
  size_t shrink_at_ = kShrinkAtLeast;
  uint64_t arrivals_ = 0;
};

}  // namespace

SelectCursor::SelectCursor(jet::Database& db, const sql::SelectStatement& s,
                           const std::string& text, FileSystem* fs) {
  if (!s.unions.empty()) {
    OpenUnion(db, s, text, fs);
    return;
  }
  query_ = std::make_unique<Query>(fs, db, s, text);
  Query& q = *query_;
  const FromClause& from = q.from;
  const size_t columns = from.width();
  auto refuse = [&](int number, const std::string& what) { Refuse(number, what, text); };
  auto is_long = [&](size_t place) { return place < columns && from.column(place).is_long_value(); };
  const Resolver table_columns = from.Columns();
  // A value of each scan row: a column's place, or a computed one's.
  auto row_place = [&](const sql::Expr& e) -> Place {
    Expression x(e, Scope{table_columns, text, &db});
    const ValueClass value_class = x.value_class();
    if (auto place = x.place()) return {*place, value_class};
    return {q.row.Compute(std::move(x)), value_class};
  };

  if (s.where) {
    q.where.emplace(*s.where, table_columns, text, &db);
    if (jet::TableScan* scan = q.from.single_scan()) {
      const FromClause::Table& only = from.tables()[0];
      NarrowToPinnedRows(*only.db, *only.definition, *q.where, *scan);
    }
  }

  auto has_aggregate = [](const sql::Expr& e) {
    auto walk = [](const sql::Expr& x, auto& self) -> bool {
      if (x.kind == sql::Expr::Kind::kAggregate) return true;
      for (const sql::Expr& o : x.operands)
        if (self(o, self)) return true;
      return false;
    };
    return walk(e, walk);
  };
  q.grouped = !s.group_by.empty() || s.having ||
              std::any_of(s.columns.begin(), s.columns.end(),
                          [&](const sql::SelectItem& i) { return has_aggregate(i.expr); }) ||
              std::any_of(s.order_by.begin(), s.order_by.end(),
                          [&](const sql::OrderTerm& o) { return has_aggregate(o.expr); });
  if (q.grouped && s.columns.empty()) refuse(kJetGroupOnStar, "SELECT * with aggregates");
  std::vector<std::string> group_texts;  // each grouped expression as printed
  std::vector<ValueClass> group_classes;
  for (const sql::Expr& e : s.group_by) {
    Place p = row_place(e);
    if (is_long(p.index)) refuse(kJetLongValueInGroupBy, "GROUP BY " + sql::ToSql(e));
    q.group_columns.push_back(p.index);
    group_texts.push_back(sql::ToSql(e));
    group_classes.push_back(p.value_class);
  }

  // Where a value of a grouped SELECT is found in the rows of its groups:
  // a grouped expression, an aggregate, or (kNotHere) computed from those;
  // `not_grouped` refuses a column that is neither.
  auto group_place = [&](const sql::Expr& e, int not_grouped) -> Place {
    const std::string printed = sql::ToSql(e);
    for (size_t g = 0; g < group_texts.size(); ++g) {
      if (jet::SameName(group_texts[g], printed)) return {g, group_classes[g]};
    }
    if (e.kind == sql::Expr::Kind::kColumn) {
      table_columns(e);  // 3061 for a column the table lacks
      Refuse(not_grouped, "'" + e.column + "' is neither grouped nor in an aggregate function",
             text);
    }
    if (e.kind != sql::Expr::Kind::kAggregate) return {Place::kNotHere, ValueClass::kNull};
    AggregateColumn a{e.aggregate, std::nullopt};
    ValueClass value_class = ValueClass::kNumber;
    if (!e.operands.empty()) {
      if (has_aggregate(e.operands[0])) refuse(kJetAggregateInWhere, sql::ToSql(e));
      Place operand = row_place(e.operands[0]);
      if (is_long(operand.index)) refuse(kJetLongValueInAggregate, sql::ToSql(e));
      a.operand = operand.index;
      if (a.function == sql::Aggregate::kMin || a.function == sql::Aggregate::kMax) {
        value_class = operand.value_class;
      } else if (a.function != sql::Aggregate::kCount && operand.value_class != ValueClass::kNumber &&
                 operand.value_class != ValueClass::kNull) {
        refuse(kJetTypeMismatch, sql::ToSql(e) + " adds numbers, and " +
                                     sql::ToSql(e.operands[0]) + " is not a number");
      }
    }
    size_t k = 0;
    while (k < q.aggregates.size() &&
           !(q.aggregates[k].function == a.function && q.aggregates[k].operand == a.operand)) {
      ++k;
    }
    if (k == q.aggregates.size()) q.aggregates.push_back(a);
    return {q.group_columns.size() + k, value_class};
  };
  // The place of a value of the result: in the scan row, or in the group
  // row (the grouped values, the aggregates, then what is computed from
  // them, numbered once all aggregates are known).
  auto place_of = [&](const sql::Expr& e, int not_grouped) -> size_t {
    if (!q.grouped) return row_place(e).index;
    Expression x(e, Scope{[&](const sql::Expr& n) { return group_place(n, not_grouped); }, text,
                          &db, true});
    if (auto place = x.place()) return *place;
    q.group_computed.push_back(std::move(x));
    return kComputedBase + q.group_computed.size() - 1;
  };

  // A column shown under its name; under "source.name" when another shown
  // column has that name too, as Jet names them.
  std::vector<std::optional<size_t>> shown;  // the place of each unaliased column
  auto show_table = [&](const FromClause::Table& t) {
    for (size_t c = 0; c < t.definition->columns.size(); ++c) {
      q.outputs.push_back(t.first + c);
      shown.push_back(t.first + c);
      names_.push_back(t.definition->columns[c].name);
    }
  };
  if (s.columns.empty()) {
    for (const FromClause::Table& t : from.tables()) show_table(t);
  }
  int unnamed = 0;
  for (const sql::SelectItem& item : s.columns) {
    if (!item.all_of.empty()) {
      if (q.grouped) refuse(kJetGroupOnStar, "SELECT " + item.all_of + ".* with aggregates");
      show_table(from.Named(item.all_of));
      continue;
    }
    q.outputs.push_back(place_of(item.expr, kJetNotInAggregate));
    shown.push_back(std::nullopt);
    if (!item.alias.empty()) {
      names_.push_back(item.alias);
    } else if (item.expr.kind == sql::Expr::Kind::kColumn) {
      shown.back() = from.Resolve(item.expr);
      names_.push_back(from.column(*shown.back()).name);
    } else {
      names_.push_back("Expr" + std::to_string(1000 + unnamed++));
    }
  }
  for (size_t i = 0; i < names_.size(); ++i) {
    if (!shown[i]) continue;
    for (size_t j = 0; j < names_.size(); ++j) {
      if (j != i && shown[j] && jet::SameName(names_[i], from.column(*shown[j]).name)) {
        names_[i] = from.TableAt(*shown[i]).name + "." + names_[i];
        break;
      }
    }
  }
  q.distinct = s.distinct;
  if (q.distinct && !q.grouped) {
    for (size_t c : q.outputs) {
      if (is_long(c)) refuse(kJetLongValueInDistinct, "SELECT DISTINCT '" + from.column(c).name + "'");
    }
  }
  if (s.having) {
    q.having.emplace(
        *s.having, [&](const sql::Expr& e) { return group_place(e, kJetNotInAggregate); }, text,
        &db, true);
  }
  for (const sql::OrderTerm& term : s.order_by) {
    size_t place = 0;
    const sql::Expr& e = term.expr;
    const bool ordinal = e.kind == sql::Expr::Kind::kLiteral &&
                         e.literal.kind == sql::Value::Kind::kInteger;
    const bool alias = e.kind == sql::Expr::Kind::kColumn && e.table.empty() &&
                       !from.HasColumn(e.column) &&
                       std::any_of(s.columns.begin(), s.columns.end(), [&](const sql::SelectItem& i) {
                         return jet::SameName(i.alias, e.column);
                       });
    if (ordinal) {
      // ORDER BY 2: the second column of the result.
      if (e.literal.integer < 1 || size_t(e.literal.integer) > q.outputs.size()) {
        refuse(kJetSyntaxInOrderBy, "ORDER BY " + sql::ToSql(e) + " names no column of the result");
      }
      place = q.outputs[size_t(e.literal.integer - 1)];
    } else if (alias) {
      place = q.outputs[*Find(e.column)];
    } else {
      place = place_of(e, kJetOrderConflictsWithGroup);
    }
    if (!q.grouped && is_long(place)) refuse(kJetLongValueInOrderBy, "ORDER BY " + sql::ToSql(e));
    if (q.distinct && std::find(q.outputs.begin(), q.outputs.end(), place) == q.outputs.end()) {
      refuse(kJetOrderConflictsWithDistinct, "ORDER BY " + sql::ToSql(e));
    }
    q.order.emplace_back(place, term.descending);
  }
  // Places computed in groups follow the grouped values and the aggregates.
  if (q.grouped) {
    const size_t base = q.group_columns.size() + q.aggregates.size();
    for (size_t& p : q.outputs) if (p >= kComputedBase) p = base + (p - kComputedBase);
    for (auto& [p, descending] : q.order) if (p >= kComputedBase) p = base + (p - kComputedBase);
  }
  q.top = s.top;
  q.top_percent = s.top_percent;
  q.streams = !q.grouped && !q.distinct && q.order.empty() && !q.top_percent;
  values_.resize(q.outputs.size());
}

void SelectCursor::OpenUnion(jet::Database& db, const sql::SelectStatement& s,
                             const std::string& text, FileSystem* fs) {
  sql::SelectStatement first = s;
  first.unions.clear();
  first.order_by.clear();
  std::vector<std::unique_ptr<SelectCursor>> parts;
  parts.push_back(std::make_unique<SelectCursor>(db, first, text, fs));
  for (const sql::SelectStatement& next : s.unions) {
    parts.push_back(std::make_unique<SelectCursor>(db, next, text, fs));
  }
  names_ = parts[0]->names();
  for (const auto& part : parts) {
    if (part->names().size() != names_.size()) {
      Refuse(kJetUnionColumnsDiffer, std::to_string(names_.size()) + " columns and " +
                                         std::to_string(part->names().size()), text);
    }
  }
  // The Query's own scan is never run: the rows come from the parts.
  query_ = std::make_unique<Query>(fs, db, first, text);
  Query& q = *query_;
  q.parts = std::move(parts);
  for (size_t i = 0; i < names_.size(); ++i) q.outputs.push_back(i);
  q.distinct = !s.union_all;
  for (const sql::OrderTerm& term : s.order_by) {
    const sql::Expr& e = term.expr;
    std::optional<size_t> place;
    if (e.kind == sql::Expr::Kind::kLiteral && e.literal.kind == sql::Value::Kind::kInteger &&
        e.literal.integer >= 1 && size_t(e.literal.integer) <= names_.size()) {
      place = size_t(e.literal.integer - 1);
    } else if (e.kind == sql::Expr::Kind::kColumn) {
      place = Find(e.column);
    }
    if (!place) {
      Refuse(kJetTooFewParameters,
             "ORDER BY " + sql::ToSql(e) + " names no column of the union's first SELECT", text);
    }
    q.order.emplace_back(*place, term.descending);
  }
  q.streams = false;
  values_.resize(names_.size());
}

SelectCursor::~SelectCursor() = default;

std::optional<size_t> SelectCursor::Find(std::string_view name) const {
  for (size_t i = 0; i < names_.size(); ++i) {
    if (jet::SameName(names_[i], name)) return i;
  }
  return std::nullopt;
}

const FromClause& SelectCursor::from() const { return query_->from; }

void SelectCursor::Rewind() {
  Query& q = *query_;
  q.from.Rewind();
  q.returned = 0;
  q.next = 0;
}

bool SelectCursor::Next() {
  Query& q = *query_;
  if (q.streams) {
    if (q.top && q.returned >= *q.top) return false;
    while (q.from.Next()) {
      q.row.NextRow();
      if (q.where && !q.where->Holds(q.row)) continue;
      for (size_t i = 0; i < values_.size(); ++i) values_[i] = q.row.at(q.outputs[i]);
      ++q.returned;
      return true;
    }
    return false;
  }
  if (!q.held) Materialize();
  if (q.next == q.result.size()) return false;
  UnpackValues(RowOf(q.result[q.next++]), values_);
  return true;
}

void SelectCursor::Materialize() {
  Query& q = *query_;
  ResultCollector collector(q.outputs, q.order, q.distinct,
                            q.top_percent ? std::nullopt : q.top);
  if (!q.parts.empty()) {
    for (const auto& part : q.parts) {
      while (part->Next()) {
        RowVector r(part->values());
        collector.Add(r);
      }
    }
  } else if (!q.grouped) {
    while (q.from.Next()) {
      q.row.NextRow();
      if (q.where && !q.where->Holds(q.row)) continue;
      collector.Add(q.row);
    }
  } else {
    struct Group {
      std::vector<Value> values;  // the grouped columns, as first met
      std::vector<Accumulator> totals;
    };
    // Groups by the order key of their columns: equal keys are one group
    // ("ABC" and "abc" too), and the map hands them out in Jet's order.
    std::map<std::string, Group> groups;
    auto open_group = [&](const std::string& key) -> Group& {
      auto [it, fresh] = groups.try_emplace(key);
      if (fresh) {
        for (size_t c : q.group_columns) it->second.values.push_back(q.row.at(c));
        for (const AggregateColumn& a : q.aggregates) it->second.totals.emplace_back(a.function);
      }
      return it->second;
    };
    std::string key;
    while (q.from.Next()) {
      q.row.NextRow();
      if (q.where && !q.where->Holds(q.row)) continue;
      key.clear();
      for (size_t c : q.group_columns) AppendOrderKey(key, q.row.at(c));
      Group& g = open_group(key);
      for (size_t k = 0; k < q.aggregates.size(); ++k) {
        if (q.aggregates[k].operand) g.totals[k].Add(q.row.at(*q.aggregates[k].operand));
        else g.totals[k].AddRow();
      }
    }
    // Aggregates over the whole table give their row even when no row met
    // the condition: COUNT 0, the others Null.
    if (groups.empty() && q.group_columns.empty()) open_group("");
    std::vector<Value> group_row;
    for (auto& [group_key, g] : groups) {
      group_row = std::move(g.values);
      for (const Accumulator& total : g.totals) group_row.push_back(total.Result());
      for (const Expression& e : q.group_computed) {
        RowVector so_far(group_row);
        Value v = e.Evaluate(so_far);
        group_row.push_back(std::move(v));
      }
      RowVector r(group_row);
      if (q.having && !q.having->Holds(r)) continue;
      collector.Add(r);
    }
  }
  q.result = collector.Finish();
  if (q.top_percent) {
    // TOP n PERCENT: n% of the rows, rounded up, and the rows that tie
    // with the last of them.
    size_t keep = size_t((q.result.size() * uint64_t(*q.top) + 99) / 100);
    const size_t last = keep;
    while (last > 0 && !q.order.empty() && keep < q.result.size() &&
           OrderOf(q.result[keep]) == OrderOf(q.result[last - 1])) {
      ++keep;
    }
    q.result.resize(std::min(keep, q.result.size()));
  }
  q.held = true;
}

}  // namespace act::db::exec
