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
    kSymbol,  // ( ) , ; * = < > <= >= <> + - / \ ^ &
  };
  Kind kind = Kind::kEnd;
  std::string text;
  std::size_t position = 0;  // byte offset of the token in the statement
};

// What stops the lexer: text that is not UTF-8, an unterminated string,
// name or date, an empty name, or a character that starts no token. The
// parser turns it into the act::Error of the clause it was reading.
struct LexError {
  std::size_t position;
  std::string what;
};

// Hands out the tokens of a statement one at a time, so that a fault late in
// a statement is reported only once the parser gets there, in the words of
// the clause it belongs to.
class Lexer {
 public:
  explicit Lexer(std::string_view statement) : s_(statement) {}

  // The next token; a kEnd token at the end and on every call after it.
  // Throws LexError.
  Token Next();

 private:
  [[noreturn]] void Fail(std::size_t at, const std::string& what);
  Token Symbol(std::size_t start);
  Token Number(std::size_t start);
  Token Binary(std::size_t start);
  Token Quoted(std::size_t start, char quote);
  Token Bracketed(std::size_t start);
  Token Date(std::size_t start);

  std::string_view s_;
  std::size_t pos_ = 0;
  bool checked_utf8_ = false;
};

}  // namespace act::sql
