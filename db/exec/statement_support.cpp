#include "db/exec/statement_support.h"

#include "db/errors.h"
#include "db/jet/table/value_conversion.h"

namespace act::db::exec {

void CountRefusal(StatementCounts& result, const act::Error& e) {
  switch (e.number()) {
    case kJetConversionError:
    case kJetFieldTooSmall:
    case kJetRecordTooLarge: ++result.refused_value; return;
    case kJetDuplicateKey: ++result.refused_key; return;
    case kJetNullInRequired:
    case kJetZeroLengthString:
    case kJetIndexNull:
    case kJetRelatedRecordsExist:
    case kJetRelatedRecordRequired: ++result.refused_rule; return;
    default: throw;
  }
}

void Flush(jet::Database& db, jet::TableWriter& writer, Sync sync) {
  writer.Finish();
  db.pager().FlushWrites(sync == Sync::kYes);
}

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

std::optional<Value> Convert(const jet::ColumnDef& c, const Value& value) {
  return jet::ConvertForColumn(c, value);
}

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

}  // namespace act::db::exec
