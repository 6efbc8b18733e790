#include "db/errors.h"

#include <cstdint>

namespace act::db {

const char* JetErrorText(int number) {
  switch (number) {
    case kJetNoCurrentRecord: return "No current record";
    case kJetFileNotFound: return "Could not find file";
    case kJetDatabaseCorrupt: return "The database is damaged";
    case kJetTableNotFound: return "The Microsoft Jet database engine cannot find the input table";
    case kJetSyntaxError: return "Syntax error in statement";
    case kJetItemNotFound: return "Item not found in this collection";
    case kJetOperationNotSupported: return "Operation is not supported";
    case kJetObjectClosed: return "Object is no longer valid";
    case kJetUnrecognizedFormat: return "Unrecognized database format";
    case kJetDatabaseTooLarge: return "Database has reached maximum size";
    case kJetFileInUse: return "Couldn't use the file; file already in use";
    case kJetTooFewParameters: return "Too few parameters";
    case kJetAmbiguousField:
      return "The specified field could refer to more than one table listed in the FROM "
             "clause of your SQL statement";
    case kJetJoinNotSupported: return "Join expression not supported";
    case kJetJoinTypeMismatch: return "Type mismatch in JOIN expression";
    case kJetCannotExecuteSelect: return "Cannot execute a select query";
    case kJetInvalidOperation: return "Invalid operation";
    case kJetTypeMismatch: return "Data type mismatch in criteria expression";
    case kJetUndefinedFunction: return "Undefined function in expression";
    case kJetSubqueryManyFields:
      return "You have written a subquery that can return more than one field without using the "
             "EXISTS reserved word in the main query's FROM clause";
    case kJetUnionColumnsDiffer:
      return "The number of columns in the two selected tables or queries of a union query do "
             "not match";
    case kJetSubqueryManyRecords: return "At most one record can be returned by this subquery";
    case kJetOrderConflictsWithDistinct: return "ORDER BY clause conflicts with DISTINCT";
    case kJetOrderConflictsWithGroup: return "ORDER BY clause conflicts with GROUP BY clause";
    case kJetAggregateInWhere: return "Cannot have aggregate function in WHERE clause";
    case kJetLongValueInDistinct:
      return "Cannot include Memo or OLE object when you select unique values";
    case kJetLongValueInAggregate: return "Cannot have Memo or OLE object in aggregate argument";
    case kJetLongValueInOrderBy: return "Cannot sort on Memo or OLE object";
    case kJetLongValueInGroupBy: return "Cannot group on Memo or OLE object";
    case kJetGroupOnStar: return "Cannot group on fields selected with '*'";
    case kJetNotInAggregate:
      return "You tried to execute a query that does not include the specified expression as "
             "part of an aggregate function";
    case kJetDuplicateKey:
      return "The changes you requested to the table were not successful because they would "
             "create duplicate values in the index, primary key, or relationship";
    case kJetIndexNull: return "Index or primary key can't contain a Null value";
    case kJetFileReadOnly: return "Couldn't open the file for writing";
    case kJetUnknownFieldName: return "The INSERT INTO statement contains an unknown field name";
    case kJetFieldTooSmall:
      return "The field is too small to accept the amount of data you attempted to add";
    case kJetNullInRequired: return "The field cannot contain a Null value";
    case kJetZeroLengthString: return "Field can't be a zero-length string";
    case kJetConversionError: return "Data type conversion error";
    case kJetRecordTooLarge: return "Record is too large";
    case kJetTableExists: return "Table already exists";
    case kJetRelatedRecordsExist:
      return "The record cannot be deleted or changed because the table includes related records";
    case kJetRelatedRecordRequired:
      return "You cannot add or change a record because a related record is required";
    case kJetFieldExists: return "Can't define field more than once";
    case kJetFieldInIndex:
      return "Can't delete a field that is part of an index or is needed by the system";
    case kJetInRelationship: return "Can't delete; it's part of one or more relationships";
    case kJetDropTableNotFound: return "Table doesn't exist";
    case kJetNoSuchIndex: return "No such index on the table";
    default: return act::ErrorText(number);
  }
}

std::string QuotedStatement(std::string_view statement) {
  return "\"" + std::string(statement) + "\"";
}

act::Error JetFailure(int number, std::string detail) {
  return act::Error(number, JetErrorText(number), std::move(detail));
}

act::Error PageFailure(const std::string& file, uint32_t page, const std::string& what,
                       int number) {
  return JetFailure(number, file + ": page " + std::to_string(page) + ": " + what);
}

act::Error MissingParameterFailure(std::string detail) {
  return act::Error(kJetTooFewParameters, "Too few parameters. Expected 1", std::move(detail));
}

act::Error NullInRequiredFailure(const std::string& field, std::string detail) {
  return act::Error(kJetNullInRequired,
                    "The field '" + field +
                        "' can't contain a Null value because the Required property for this "
                        "field is set to True",
                    std::move(detail));
}

}  // namespace act::db
