// libFuzzer target: any bytes as a statement and as a script. The parser
// must refuse with act::Error or return a tree that keeps its promises
// (UTF-8 texts, bounded depth); anything else (a crash, a sanitizer report,
// another exception, a hang) is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "db/sql/parser.h"
#include "db/sql/printer.h"
#include "db/sql/script.h"
#include "db/sql/utf8.h"
#include "platform/error.h"

namespace {

using namespace act::sql;

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckText(const std::string& s) { Check(FindInvalidUtf8(s) == std::string_view::npos); }

int Depth(const Expr& e) {
  int deepest = 0;
  for (const Expr& o : e.operands) deepest = std::max(deepest, Depth(o));
  if (e.kind == Expr::Kind::kColumn) {
    CheckText(e.column);
    CheckText(e.table);
  }
  if (e.kind == Expr::Kind::kFunction) CheckText(e.function);
  if (e.kind == Expr::Kind::kLiteral && e.literal.kind == Value::Kind::kText)
    CheckText(e.literal.text);
  return deepest + 1;
}

void CheckSource(const Source& s) {
  if (s.kind != Source::Kind::kTable) {
    Check(s.sides.size() == 2);
    for (const Source& side : s.sides) CheckSource(side);
    return;
  }
  CheckText(s.table);
  CheckText(s.alias);
  Check(!s.table.empty());
}

void CheckSelect(const SelectStatement& s) {
  CheckSource(s.from);
  for (const SelectItem& c : s.columns) {
    Depth(c.expr);
    CheckText(c.alias);
  }
  for (const Expr& c : s.group_by) Check(Depth(c) <= kMaxExpressionHeight);
  if (s.where) Check(Depth(*s.where) <= kMaxExpressionHeight);
  if (s.having) Check(Depth(*s.having) <= kMaxExpressionHeight);
  if (s.top) Check(*s.top >= 1);
}

void CheckStatement(const Statement& statement) {
  if (auto* s = std::get_if<SelectStatement>(&statement)) CheckSelect(*s);
  if (auto* s = std::get_if<InsertSelectStatement>(&statement)) CheckSelect(s->source);
  if (auto* s = std::get_if<InsertValuesStatement>(&statement)) {
    Check(s->columns.empty() || s->columns.size() == s->values.size());
    for (const Expr& v : s->values) Check(Depth(v) <= kMaxExpressionHeight);
  }
  if (auto* s = std::get_if<UpdateStatement>(&statement)) {
    Check(!s->assignments.empty());
    for (const Assignment& a : s->assignments) Check(Depth(a.value) <= kMaxExpressionHeight);
    if (s->where) Check(Depth(*s->where) <= kMaxExpressionHeight);
  }
  if (auto* s = std::get_if<CreateTableStatement>(&statement)) {
    for (const ColumnDef& c : s->columns) {
      Check(!c.name.empty() && CountCharacters(c.name) <= 64);
      if (c.type == ColumnType::kText) Check(c.size >= 1 && c.size <= 255);
    }
  }
}

// What the printer writes parses back to the same statement.
void CheckRoundTrip(const Statement& statement) {
  std::string printed = ToSql(statement);
  Statement again;
  try {
    again = Parse(printed);
  } catch (const act::Error&) {
    std::abort();
  }
  Check(ToSql(again) == printed);
}

void ParseOne(std::string_view text) {
  try {
    Statement statement = Parse(text);
    CheckStatement(statement);
    CheckRoundTrip(statement);
  } catch (const act::Error& e) {
    Check(e.number() >= 3000 && e.number() < 4000);
    Check(FindInvalidUtf8(e.what()) == std::string_view::npos);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ParseOne(text);
  for (std::string_view statement : SplitStatements(text)) ParseOne(statement);
  return 0;
}
