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

struct AggregateColumn {
  sql::Aggregate function = sql::Aggregate::kCount;
  std::optional<size_t> column;  // none: COUNT(*)
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
      : statement(text), from(fs, db, s.from, s.where ? &*s.where : nullptr, text) {}

  std::string statement;
  FromClause from;
  std::optional<Condition> where;

  // A grouped SELECT (GROUP BY, HAVING or an aggregate) makes one row per
  // group: its grouped columns, then its aggregates. `outputs` and `order`
  // are places in those rows; otherwise they are the joined row's.
  bool grouped = false;
  std::vector<size_t> group_columns;
  std::vector<AggregateColumn> aggregates;
  std::optional<Condition> having;
  std::vector<size_t> outputs;
  std::vector<std::pair<size_t, bool>> order;  // place, descending
  bool distinct = false;
  std::optional<int64_t> top;

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
  query_ = std::make_unique<Query>(fs, db, s, text);
  Query& q = *query_;
  const FromClause& from = q.from;
  auto refuse = [&](int number, const std::string& what) { Refuse(number, what, text); };
  auto column_of = [&](const sql::Expr& e) { return from.Resolve(e); };
  auto is_long = [&](size_t place) { return from.column(place).is_long_value(); };

  if (s.where) {
    q.where.emplace(*s.where, from.Columns(), text);
    if (jet::TableScan* scan = q.from.single_scan()) {
      const FromClause::Table& only = from.tables()[0];
      NarrowToPinnedRows(*only.db, *only.definition, *q.where, *scan);
    }
  }

  auto is_aggregate = [](const sql::Expr& e) { return e.kind == sql::Expr::Kind::kAggregate; };
  q.grouped = !s.group_by.empty() || s.having ||
              std::any_of(s.columns.begin(), s.columns.end(),
                          [&](const sql::SelectItem& i) { return is_aggregate(i.expr); }) ||
              std::any_of(s.order_by.begin(), s.order_by.end(),
                          [&](const sql::OrderTerm& o) { return is_aggregate(o.expr); });
  if (q.grouped && s.columns.empty()) refuse(kJetGroupOnStar, "SELECT * with aggregates");
  for (const sql::Expr& e : s.group_by) {
    if (e.kind != sql::Expr::Kind::kColumn) refuse(kJetOperationNotSupported, "GROUP BY " + sql::ToSql(e));
    size_t c = column_of(e);
    if (is_long(c)) refuse(kJetLongValueInGroupBy, "GROUP BY " + sql::ToSql(e));
    q.group_columns.push_back(c);
  }

  // Where a column or an aggregate of the statement is found in the rows
  // the result is made of; `not_grouped` is the refusal for a column of a
  // grouped SELECT that is not grouped.
  auto place_of = [&](const sql::Expr& e, int not_grouped) -> Place {
    if (e.kind == sql::Expr::Kind::kColumn) {
      size_t c = column_of(e);
      if (!q.grouped) return {c, ClassOfColumn(from.column(c))};
      for (size_t g = 0; g < q.group_columns.size(); ++g) {
        if (q.group_columns[g] == c) return {g, ClassOfColumn(from.column(c))};
      }
      Refuse(not_grouped, "'" + e.column + "' is neither grouped nor in an aggregate function",
             text);
    }
    AggregateColumn a{e.aggregate, std::nullopt};
    ValueClass value_class = ValueClass::kNumber;
    if (!e.operands.empty()) {
      a.column = column_of(e.operands[0]);
      if (is_long(*a.column)) refuse(kJetLongValueInAggregate, sql::ToSql(e));
      ValueClass column_class = ClassOfColumn(from.column(*a.column));
      if (a.function == sql::Aggregate::kMin || a.function == sql::Aggregate::kMax) {
        value_class = column_class;
      } else if (a.function != sql::Aggregate::kCount && column_class != ValueClass::kNumber) {
        refuse(kJetTypeMismatch, sql::ToSql(e) + " adds numbers, and " + sql::ToSql(e.operands[0]) +
                                     " is not a number");
      }
    }
    size_t k = 0;
    while (k < q.aggregates.size() &&
           !(q.aggregates[k].function == a.function && q.aggregates[k].column == a.column)) {
      ++k;
    }
    if (k == q.aggregates.size()) q.aggregates.push_back(a);
    return {q.group_columns.size() + k, value_class};
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
    q.outputs.push_back(place_of(item.expr, kJetNotInAggregate).index);
    shown.push_back(std::nullopt);
    if (!item.alias.empty()) {
      names_.push_back(item.alias);
    } else if (is_aggregate(item.expr)) {
      names_.push_back("Expr" + std::to_string(1000 + unnamed++));
    } else {
      shown.back() = column_of(item.expr);
      names_.push_back(from.column(*shown.back()).name);
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
        *s.having, [&](const sql::Expr& e) { return place_of(e, kJetNotInAggregate); }, text);
  }
  for (const sql::OrderTerm& term : s.order_by) {
    const size_t place = place_of(term.expr, kJetOrderConflictsWithGroup).index;
    if (!q.grouped && is_long(place)) refuse(kJetLongValueInOrderBy, "ORDER BY " + sql::ToSql(term.expr));
    if (q.distinct && std::find(q.outputs.begin(), q.outputs.end(), place) == q.outputs.end()) {
      refuse(kJetOrderConflictsWithDistinct, "ORDER BY " + sql::ToSql(term.expr));
    }
    q.order.emplace_back(place, term.descending);
  }
  q.top = s.top;
  q.streams = !q.grouped && !q.distinct && q.order.empty();
  values_.resize(q.outputs.size());
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
      RowValues& row = q.from.row();
      if (q.where && !q.where->Holds(row)) continue;
      for (size_t i = 0; i < values_.size(); ++i) values_[i] = row.at(q.outputs[i]);
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
  ResultCollector collector(q.outputs, q.order, q.distinct, q.top);
  if (!q.grouped) {
    while (q.from.Next()) {
      RowValues& row = q.from.row();
      if (q.where && !q.where->Holds(row)) continue;
      collector.Add(row);
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
        for (size_t c : q.group_columns) it->second.values.push_back(q.from.row().at(c));
        for (const AggregateColumn& a : q.aggregates) it->second.totals.emplace_back(a.function);
      }
      return it->second;
    };
    std::string key;
    while (q.from.Next()) {
      RowValues& row = q.from.row();
      if (q.where && !q.where->Holds(row)) continue;
      key.clear();
      for (size_t c : q.group_columns) AppendOrderKey(key, row.at(c));
      Group& g = open_group(key);
      for (size_t k = 0; k < q.aggregates.size(); ++k) {
        if (q.aggregates[k].column) g.totals[k].Add(row.at(*q.aggregates[k].column));
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
      RowVector r(group_row);
      if (q.having && !q.having->Holds(r)) continue;
      collector.Add(r);
    }
  }
  q.result = collector.Finish();
  q.held = true;
}

}  // namespace act::db::exec
