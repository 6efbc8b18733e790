#include "db/exec/insert_values.h"

#include "db/errors.h"
#include "db/exec/expression.h"
#include "db/sql/printer.h"
#include "db/exec/statement_support.h"

namespace act::db::exec {

TableAppender::TableAppender(jet::Database& database,
                             std::shared_ptr<const jet::TableDefinition> definition)
    : db(database),
      table(std::move(definition)),
      allocator(db),
      writer(db, allocator, table),
      defaults(ColumnDefaults(writer, *table)) {}

void TableAppender::Append(const sql::InsertValuesStatement& s, std::string_view statement) {
  values = defaults;
  auto set = [&](size_t column, const sql::Expr& e) {
    const jet::ColumnDef& c = table->columns[column];
    // A row that is not there yet has no columns to read: Jet takes a
    // name in VALUES for a parameter it was not given.
    const Resolver no_columns = [&](const sql::Expr& operand) -> Place {
      throw MissingParameterFailure(db.path() + ": " + sql::ToSql(operand) + " in VALUES, in " +
                                    QuotedStatement(statement));
    };
    struct NoRow final : RowValues {
      const Value& at(size_t) override { return none; }
      Value none;
    } no_row;
    auto v = Convert(c, Expression(e, Scope{no_columns, std::string(statement), &db})
                            .Evaluate(no_row));
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

StatementCounts RunInsertValuesElsewhere(FileSystem& fs, jet::Database& db,
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
  StatementCounts result;
  result.changed = 1;
  return result;
}

}  // namespace act::db::exec
