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
    case kJetTooFewParameters: return "Too few parameters";
    case kJetCannotExecuteSelect: return "Cannot execute a select query";
    case kJetInvalidOperation: return "Invalid operation";
    case kJetTypeMismatch: return "Data type mismatch in criteria expression";
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
    case kJetRelatedRecordsExist:
      return "The record cannot be deleted or changed because the table includes related records";
    case kJetRelatedRecordRequired:
      return "You cannot add or change a record because a related record is required";
    default: return act::ErrorText(number);
  }
}

act::Error JetFailure(int number, std::string detail) {
  return act::Error(number, JetErrorText(number), std::move(detail));
}

act::Error PageFailure(const std::string& file, uint32_t page, const std::string& what,
                       int number) {
  return JetFailure(number, file + ": page " + std::to_string(page) + ": " + what);
}

}  // namespace act::db
