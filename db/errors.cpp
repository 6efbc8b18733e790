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
