// Error numbers and texts of the database engine, in one place.
//
// They follow the numbers Microsoft Jet reports for the same situations, so
// that an operator's error report reads like the one the product's own
// engine would give. Every failure is an act::Error whose detail names the
// file and, for damaged files, the page ("datos.mdb: page 123: ...") or the
// statement involved.
#pragma once

#include <cstdint>
#include <string>

#include "platform/error.h"

namespace act::db {

enum JetError : int {
  kJetNoCurrentRecord = 3021,     // MoveFirst/Value with no current row
  kJetFileNotFound = 3024,        // OpenDatabase on a missing file
  kJetDatabaseCorrupt = 3049,     // a page that breaks the format's rules
  kJetTableNotFound = 3078,       // FROM names no table
  kJetSyntaxError = 3075,         // a statement the engine cannot read
  kJetItemNotFound = 3265,        // Fields/TableDefs item that does not exist
  kJetOperationNotSupported = 3251,  // a statement or operation not implemented
  kJetObjectClosed = 3420,        // use of a closed Database or Recordset
  kJetUnrecognizedFormat = 3343,  // not a Jet 3/Jet 4 file, or an unusable header
  kJetTooFewParameters = 3061,    // a statement names a column the table lacks
  kJetCannotExecuteSelect = 3065, // Execute given a SELECT
  kJetInvalidOperation = 3219,    // OpenRecordset given an action statement
  kJetTypeMismatch = 3464,        // comparing text with a number in a condition
  kJetOrderConflictsWithDistinct = 3093,  // SELECT DISTINCT sorted by a column it does not show
  kJetOrderConflictsWithGroup = 3094,     // a grouped SELECT sorted by a column not grouped
  kJetAggregateInWhere = 3096,            // COUNT, SUM, ... in a WHERE clause
  kJetLongValueInDistinct = 3114,         // memo or OLE in SELECT DISTINCT
  kJetLongValueInAggregate = 3115,        // memo or OLE in COUNT, SUM, ...
  kJetLongValueInOrderBy = 3117,          // memo or OLE in ORDER BY
  kJetLongValueInGroupBy = 3119,          // memo or OLE in GROUP BY
  kJetGroupOnStar = 3121,                 // SELECT * with GROUP BY or an aggregate
  kJetNotInAggregate = 3122,              // a column neither grouped nor aggregated
  kJetDuplicateKey = 3022,        // a unique index already holds the key
  kJetIndexNull = 3058,           // Null in a required (primary) index
  kJetRelatedRecordsExist = 3200, // delete refused: rows still refer to it
  kJetRelatedRecordRequired = 3201,  // no row with that key in the referenced table
};

// Jet's text for the numbers above.
const char* JetErrorText(int number);

// Builds the act::Error for number with the given detail.
act::Error JetFailure(int number, std::string detail);

// "<file>: page <n>: <what>" as act::Error 3049 (or another number).
act::Error PageFailure(const std::string& file, uint32_t page, const std::string& what,
                       int number = kJetDatabaseCorrupt);

}  // namespace act::db
