#include "tools/jetsql/schema.h"

#include "db/jet/table/column_properties.h"
#include "db/sql/printer.h"

namespace act::jetsql {
namespace {

namespace jet = db::jet;

sql::ColumnDef Column(const jet::ColumnDef& c, bool jet3) {
  sql::ColumnDef out;
  out.name = c.name;
  switch (c.type) {
    case jet::kTypeBoolean: out.type = sql::ColumnType::kBit; break;
    case jet::kTypeByte: out.type = sql::ColumnType::kByte; break;
    case jet::kTypeInteger: out.type = sql::ColumnType::kShort; break;
    case jet::kTypeLong:
      out.type = c.flags & jet::kColumnAutonumber ? sql::ColumnType::kCounter
                                                  : sql::ColumnType::kLong;
      break;
    case jet::kTypeCurrency: out.type = sql::ColumnType::kCurrency; break;
    case jet::kTypeSingle: out.type = sql::ColumnType::kSingle; break;
    case jet::kTypeDouble:
    case jet::kTypeDecimal: out.type = sql::ColumnType::kDouble; break;
    case jet::kTypeDateTime: out.type = sql::ColumnType::kDateTime; break;
    case jet::kTypeBinary:
      out.type = sql::ColumnType::kBinary;
      out.size = c.length;
      break;
    case jet::kTypeText:
      out.type = sql::ColumnType::kText;
      // Jet 4 stores the length in bytes of UTF-16.
      out.size = jet3 ? c.length : c.length / 2;
      break;
    case jet::kTypeOle: out.type = sql::ColumnType::kLongBinary; break;
    case jet::kTypeMemo: out.type = sql::ColumnType::kMemo; break;
    case jet::kTypeGuid: out.type = sql::ColumnType::kGuid; break;
    default: out.type = sql::ColumnType::kLongBinary; break;
  }
  if ((out.type == sql::ColumnType::kText || out.type == sql::ColumnType::kBinary) &&
      (out.size < 1 || out.size > 255))
    out.size = 255;
  return out;
}

}  // namespace

std::vector<sql::Statement> TableSchema(jet::Database& db, const std::string& table) {
  auto def = db.Table(table);
  bool jet3 = db.format().is_jet3();
  std::vector<sql::Statement> statements;

  sql::CreateTableStatement create;
  create.table = table;
  // Required columns (the property blob of the catalog row) print as NOT NULL.
  auto properties = jet::ReadColumnProperties(db, def->page);
  for (const jet::ColumnDef& c : def->columns) create.columns.push_back(Column(c, jet3));
  for (const auto& [name, props] : properties) {
    const int i = def->ColumnIndex(name);
    if (props.required && i >= 0) create.columns[size_t(i)].not_null = true;
  }
  statements.push_back(std::move(create));

  for (const jet::LogicalIndex& logical : def->logical_indexes) {
    if (logical.kind == 2) continue;  // foreign key
    const jet::RealIndex* real = nullptr;
    for (const jet::RealIndex& r : def->real_indexes)
      if (r.number == logical.real_index) real = &r;
    if (!real || real->columns.empty()) continue;
    sql::CreateIndexStatement index;
    index.index = logical.name;
    index.table = table;
    index.primary = logical.kind == 1;
    index.unique = !index.primary && (real->flags & jet::kIndexUnique);
    index.disallow_null = !index.primary && (real->flags & jet::kIndexRequired);
    index.ignore_null = !index.primary && !index.disallow_null &&
                        (real->flags & jet::kIndexIgnoreNulls);
    bool complete = true;
    for (const jet::IndexColumn& ic : real->columns) {
      const jet::ColumnDef* column = def->ColumnByNumber(ic.column_number);
      if (!column) {
        complete = false;
        break;
      }
      index.columns.push_back({column->name, !ic.ascending});
    }
    if (complete) statements.push_back(std::move(index));
  }
  return statements;
}

std::string SchemaText(jet::Database& db) {
  std::string out;
  for (const jet::CatalogEntry& entry : db.tables()) {
    if (entry.is_system()) continue;
    if (!out.empty()) out += "\n";
    for (const sql::Statement& s : TableSchema(db, entry.name)) out += sql::ToSql(s) + ";\n";
  }
  return out;
}

}  // namespace act::jetsql
