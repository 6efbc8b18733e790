// INSERT INTO t [(cols)] VALUES (...): one row, built from the literals
// and the columns' defaults.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "db/jet/table/database.h"
#include "db/jet/table/page_allocator.h"
#include "db/jet/write/table_writer.h"
#include "db/sql/ast.h"
#include "db/value.h"

namespace act::db::exec {

// A table taking the rows of INSERT ... VALUES: its writer, kept from one
// statement to the next while they go to the same table, and the values
// its columns take when a statement leaves them out.
struct TableAppender {
  TableAppender(jet::Database& database, std::shared_ptr<const jet::TableDefinition> definition);

  // Nothing of a refused row is written but reserved pages: the writer
  // goes on, and a flush leaves the file consistent.
  void Append(const sql::InsertValuesStatement& s, std::string_view statement);

  jet::Database& db;
  std::shared_ptr<const jet::TableDefinition> table;
  jet::PageAllocator allocator;
  jet::TableWriter writer;
  std::vector<Value> defaults;
  std::vector<Value> values;
};

}  // namespace act::db::exec
