#include "db/sql/sql_errors.h"

#include "db/sql/utf8.h"

namespace act::sql {

const char* SqlErrorText(int number) {
  switch (number) {
    case db::kJetSyntaxError: return "Syntax error in query expression";
    case db::kJetInvalidName: return "Not a valid name";
    case db::kJetInvalidStatement:
      return "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', "
             "or 'UPDATE'";
    case db::kJetSyntaxInFromClause: return "Syntax error in FROM clause";
    case db::kJetSyntaxInGroupBy: return "Syntax error in GROUP BY clause";
    case db::kJetSyntaxInInsert: return "Syntax error in INSERT INTO statement";
    case db::kJetSyntaxInJoin: return "Syntax error in JOIN operation";
    case db::kJetSyntaxInOrderBy: return "Syntax error in ORDER BY clause";
    case db::kJetSyntaxInSelect:
      return "The SELECT statement includes a reserved word or an argument name that is "
             "misspelled or missing, or the punctuation is incorrect";
    case db::kJetCharactersAfterEnd: return "Characters found after end of SQL statement";
    case db::kJetSyntaxInUpdate: return "Syntax error in UPDATE statement";
    case db::kJetInvalidFieldType: return "Invalid field data type";
    case db::kJetSyntaxInDelete: return "Syntax error in DELETE statement";
    case db::kJetSyntaxInAlterTable: return "Syntax error in ALTER TABLE statement";
    case db::kJetSyntaxInDrop: return "Syntax error in DROP TABLE or DROP INDEX";
    case db::kJetSyntaxInConstraint: return "Syntax error in CONSTRAINT clause";
    case db::kJetSyntaxInCreateTable: return "Syntax error in CREATE TABLE statement";
    case db::kJetSyntaxInCreateIndex: return "Syntax error in CREATE INDEX statement";
    case db::kJetSyntaxInFieldDefinition: return "Syntax error in field definition";
    case db::kJetValueCountMismatch:
      return "Number of query values and destination fields are not the same";
    case db::kJetQueryTooComplex: return "Query is too complex";
    default: return ErrorText(number);
  }
}

// Statements quoted in full up to this many bytes; longer ones (scripts gone
// wrong, fuzzed input) are cut to a window around the fault.
static constexpr std::size_t kMaxQuoted = 400;

Error SqlError(int number, std::string_view statement, std::size_t position,
               const std::string& what) {
  if (position > statement.size()) position = statement.size();
  std::size_t column = CountCharacters(statement.substr(0, position)) + 1;

  std::string_view shown = statement;
  std::string prefix, suffix;
  if (statement.size() > kMaxQuoted) {
    std::size_t begin = position > kMaxQuoted / 2 ? position - kMaxQuoted / 2 : 0;
    begin = CharacterStart(statement, begin);
    std::size_t end = CharacterStart(statement, std::min(statement.size(), begin + kMaxQuoted));
    shown = statement.substr(begin, end - begin);
    if (begin > 0) prefix = "...";
    if (end < statement.size()) suffix = "...";
  }
  std::string detail = what + " at character " + std::to_string(column) + " in \"" + prefix +
                       ValidUtf8OrQuestionMarks(shown) + suffix + "\"";
  return Error(number, SqlErrorText(number), detail);
}

}  // namespace act::sql
