// Jet's numbers and texts for the failures of the write side. Each detail
// names the file and the table, column or statement.
#pragma once

#include <string>

#include "platform/error.h"

namespace act::db::jet {

enum JetWriteError : int {
  kJetDuplicateKey = 3022,      // a unique or primary index already holds the key
  kJetFileReadOnly = 3051,      // the destination cannot be opened for writing
  kJetTooFewParameters = 3061,  // a name that is no column (Jet reads it as a parameter)
  kJetUnknownFieldName = 3127,  // INSERT INTO names a field the table lacks
  kJetFieldTooSmall = 3163,     // text longer than its column
  kJetNullInRequired = 3314,    // Null in a required column
  kJetZeroLengthString = 3315,  // empty text where AllowZeroLength is false
  kJetConversionError = 3421,   // a value that does not convert to its column's type
  kJetRecordTooLarge = 3047,    // a row that no page can hold
};

inline act::Error WriteFailure(int number, std::string detail) {
  const char* text = "";
  switch (number) {
    case kJetDuplicateKey:
      text = "The changes you requested to the table were not successful because they would "
             "create duplicate values in the index, primary key, or relationship";
      break;
    case kJetFileReadOnly: text = "Couldn't open the file for writing"; break;
    case kJetTooFewParameters: text = "Too few parameters. Expected 1"; break;
    case kJetUnknownFieldName: text = "The INSERT INTO statement contains an unknown field name"; break;
    case kJetFieldTooSmall:
      text = "The field is too small to accept the amount of data you attempted to add";
      break;
    case kJetNullInRequired: text = "The field cannot contain a Null value"; break;
    case kJetZeroLengthString: text = "Field can't be a zero-length string"; break;
    case kJetConversionError: text = "Data type conversion error"; break;
    case kJetRecordTooLarge: text = "Record is too large"; break;
    default: text = act::ErrorText(number); break;
  }
  return act::Error(number, text, std::move(detail));
}

// 3314 as Jet words it (its first sentence), naming the field as
// "table.column".
inline act::Error NullInRequiredFailure(const std::string& field, std::string detail) {
  return act::Error(kJetNullInRequired,
                    "The field '" + field +
                        "' can't contain a Null value because the Required property for this "
                        "field is set to True",
                    std::move(detail));
}

}  // namespace act::db::jet
