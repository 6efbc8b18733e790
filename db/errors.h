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
#include <string_view>

#include "platform/error.h"

namespace act::db {

enum JetError : int {
  // Opening and reading.
  kJetNoCurrentRecord = 3021,     // MoveFirst/Value with no current row
  kJetFileNotFound = 3024,        // OpenDatabase on a missing file
  kJetDatabaseCorrupt = 3049,     // a page that breaks the format's rules
  kJetFileReadOnly = 3051,        // the destination cannot be opened for writing
  kJetItemNotFound = 3265,        // Fields/TableDefs item that does not exist
  kJetUnrecognizedFormat = 3343,  // not a Jet 3/Jet 4 file, or an unusable header
  kJetObjectClosed = 3420,        // use of a closed Database or Recordset
  kJetDatabaseTooLarge = 3036,    // a write would take the file past the format's size
  kJetFileInUse = 3045,           // a write while another program has the database open
  kJetOperationNotSupported = 3251,  // a statement or operation not implemented

  // Statements as text (the SQL front end).
  kJetSyntaxError = 3075,          // a condition, literal or text the parser cannot read
  kJetInvalidName = 3125,          // a name Jet cannot store
  kJetInvalidStatement = 3129,     // not a statement this engine knows
  kJetSyntaxInFromClause = 3131,
  kJetSyntaxInGroupBy = 3132,
  kJetSyntaxInInsert = 3134,
  kJetSyntaxInJoin = 3135,
  kJetSyntaxInOrderBy = 3138,
  kJetSyntaxInSelect = 3141,
  kJetCharactersAfterEnd = 3142,
  kJetSyntaxInUpdate = 3144,
  kJetInvalidFieldType = 3259,     // a type CREATE TABLE cannot make
  kJetSyntaxInDelete = 3130,
  kJetSyntaxInConstraint = 3289,
  kJetSyntaxInCreateTable = 3290,
  kJetSyntaxInCreateIndex = 3291,
  kJetSyntaxInFieldDefinition = 3292,
  kJetSyntaxInAlterTable = 3293,
  kJetSyntaxInDrop = 3295,         // DROP TABLE or DROP INDEX
  kJetValueCountMismatch = 3346,   // INSERT with more or fewer values than columns
  kJetQueryTooComplex = 3360,

  // Statements as run.
  kJetTableNotFound = 3078,       // FROM names no table
  kJetAmbiguousField = 3079,      // a column more than one source of FROM has
  kJetJoinNotSupported = 3296,    // a join Jet cannot run (two sources named alike)
  kJetJoinTypeMismatch = 3615,    // ON compares text with a number (3464 elsewhere)
  kJetTooFewParameters = 3061,    // a statement names a column the table lacks
  kJetCannotExecuteSelect = 3065, // Execute given a SELECT
  kJetInvalidOperation = 3219,    // OpenRecordset given an action statement
  kJetTypeMismatch = 3464,        // comparing text with a number, or text that is no number
  kJetUndefinedFunction = 3085,   // a function the expression service does not know
  kJetSubqueryManyFields = 3306,  // a subquery of more than one column where one value stands
  kJetUnionColumnsDiffer = 3307,  // the SELECTs of a union with different numbers of columns
  kJetSubqueryManyRecords = 3354, // a subquery of more than one row where one value stands
  kJetOrderConflictsWithDistinct = 3093,  // SELECT DISTINCT sorted by a column it does not show
  kJetOrderConflictsWithGroup = 3094,     // a grouped SELECT sorted by a column not grouped
  kJetAggregateInWhere = 3096,            // COUNT, SUM, ... in a WHERE clause
  kJetLongValueInDistinct = 3114,         // memo or OLE in SELECT DISTINCT
  kJetLongValueInAggregate = 3115,        // memo or OLE in COUNT, SUM, ...
  kJetLongValueInOrderBy = 3117,          // memo or OLE in ORDER BY
  kJetLongValueInGroupBy = 3119,          // memo or OLE in GROUP BY
  kJetGroupOnStar = 3121,                 // SELECT * with GROUP BY or an aggregate
  kJetNotInAggregate = 3122,              // a column neither grouped nor aggregated

  // Rows written.
  kJetDuplicateKey = 3022,        // a unique or primary index already holds the key
  kJetRecordTooLarge = 3047,      // a row that no page can hold
  kJetIndexNull = 3058,           // Null in a required (primary) index
  kJetUnknownFieldName = 3127,    // INSERT INTO names a field the table lacks
  kJetFieldTooSmall = 3163,       // text longer than its column
  kJetRelatedRecordsExist = 3200, // delete refused: rows still refer to it
  kJetRelatedRecordRequired = 3201,  // no row with that key in the referenced table
  kJetNullInRequired = 3314,      // Null in a required column
  kJetZeroLengthString = 3315,    // empty text where AllowZeroLength is false
  kJetConversionError = 3421,     // a value that does not convert to its column's type

  // Tables and indexes created.
  kJetTableExists = 3010,
  kJetPrimaryKeyExists = 3283,
  kJetIndexNameExists = 3375,

  // Tables, indexes and columns dropped or added.
  kJetFieldExists = 3191,         // ALTER TABLE ADD COLUMN of a name the table has
  kJetFieldInIndex = 3280,        // DROP COLUMN of a column an index holds
  kJetInRelationship = 3303,      // DROP of a table, column or index a relationship holds
  kJetDropTableNotFound = 3376,   // DROP TABLE of a table the database lacks
  kJetNoSuchIndex = 3377,         // DROP INDEX of an index the table lacks
};

// Jet's text for the numbers above as the engine reports them (the SQL
// front end words its refusals itself: SqlErrorText in sql/sql_errors.h).
const char* JetErrorText(int number);

// Builds the act::Error for number with the given detail.
act::Error JetFailure(int number, std::string detail);

// A statement as the error texts quote it: in double quotes, whole.
std::string QuotedStatement(std::string_view statement);

// "<file>: page <n>: <what>" as act::Error 3049 (or another number).
act::Error PageFailure(const std::string& file, uint32_t page, const std::string& what,
                       int number = kJetDatabaseCorrupt);

// 3061 as Jet words it when a writing statement names one column the table
// lacks (Jet takes the name for a parameter it was not given).
act::Error MissingParameterFailure(std::string detail);

// 3314 as Jet words it (its first sentence), naming the field as
// "table.column".
act::Error NullInRequiredFailure(const std::string& field, std::string detail);

}  // namespace act::db
