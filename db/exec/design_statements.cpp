// CREATE TABLE, CREATE INDEX, DROP TABLE, DROP INDEX, ALTER TABLE: the
// statements that change the design (the runner quotes the statement in a
// refusal).
#include <string>
#include <vector>

#include "db/errors.h"
#include "db/exec/statement_support.h"
#include "db/jet/write/ddl.h"
#include "db/jet/write/alter_table.h"
#include "db/jet/write/drop_index.h"
#include "db/jet/write/drop_table.h"
#include "db/jet/write/index_creation.h"
#include "db/jet/table/page_allocator.h"

namespace act::db::exec {

StatementCounts RunCreateIndex(jet::Database& db, const sql::CreateIndexStatement& s,
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

namespace {

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

}  // namespace

StatementCounts RunCreateTable(jet::Database& db, const sql::CreateTableStatement& s,
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


StatementCounts RunDropTable(jet::Database& db, const sql::DropTableStatement& s,
                             std::string_view statement) {
  jet::DropTable(db, s.table);
  return {};
}

StatementCounts RunAlterTable(jet::Database& db, const sql::AlterTableStatement& s,
                              std::string_view statement) {
  TableOf(db, s.table, statement);
  if (s.action == sql::AlterTableStatement::Action::kDropColumn) {
    jet::DropColumn(db, s.table, s.column.name);
  } else {
    jet::NewColumn column = ColumnOf(s.column);
    column.required = s.column.not_null;
    jet::AddColumn(db, s.table, column);
  }
  return {};
}

StatementCounts RunDropIndex(jet::Database& db, const sql::DropIndexStatement& s,
                             std::string_view statement) {
  TableOf(db, s.table, statement);
  jet::DropIndex(db, s.table, s.index);
  return {};
}

}  // namespace act::db::exec
