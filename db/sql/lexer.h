// Splits one statement into tokens for the parser.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace act::sql {

struct Token {
  enum class Kind {
    kEnd,     // after the last token
    kWord,    // a plain name or keyword, as written (keywords are matched
              // without regard to case by the parser)
    kName,    // a [bracketed] name; text is the name without the brackets
    kString,  // 'text' or "text"; text is the value, doubled quotes undone
    kNumber,  // 12, 1.5, .5, 1E-3; text as written, without a sign
    kDate,    // #...#; text is what lies between the #s
    kBinary,  // 0x0A1b; text is the hex digits
    kSymbol,  // ( ) , ; * = < > <= >= <> + -
  };
  Kind kind = Kind::kEnd;
  std::string text;
  std::size_t position = 0;  // byte offset of the token in the statement
};

// The tokens of `statement`, ending with one kEnd token. Throws act::Error
// (kErrSyntaxInQueryExpression) for text that is not UTF-8, an unterminated
// string, name or date, an empty name, or a character that starts no token.
std::vector<Token> Tokenize(std::string_view statement);

}  // namespace act::sql
