#include "db/sql/lexer.h"

#include "db/sql/sql_errors.h"
#include "db/sql/utf8.h"

namespace act::sql {
namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
// Plain names may hold letters of any language: every byte of a multi-byte
// UTF-8 character counts as a name character.
bool IsWordStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsWordChar(char c) { return IsWordStart(c) || IsDigit(c); }

}  // namespace

void Lexer::Fail(std::size_t at, const std::string& what) { throw LexError{at, what}; }

Token Lexer::Next() {
  if (!checked_utf8_) {
    checked_utf8_ = true;
    if (std::size_t bad = FindInvalidUtf8(s_); bad != std::string_view::npos)
      Fail(bad, "text that is not UTF-8");
  }
  while (pos_ < s_.size() && IsSpace(s_[pos_])) ++pos_;
  const std::size_t start = pos_;
  if (pos_ >= s_.size()) return Token{Token::Kind::kEnd, "", s_.size()};
  const char c = s_[pos_];
  if (c == '0' && pos_ + 2 < s_.size() && (s_[pos_ + 1] == 'x' || s_[pos_ + 1] == 'X') &&
      IsHexDigit(s_[pos_ + 2]))
    return Binary(start);
  if (IsDigit(c) || (c == '.' && pos_ + 1 < s_.size() && IsDigit(s_[pos_ + 1])))
    return Number(start);
  if (IsWordStart(c)) {
    while (pos_ < s_.size() && IsWordChar(s_[pos_])) ++pos_;
    return Token{Token::Kind::kWord, std::string(s_.substr(start, pos_ - start)), start};
  }
  switch (c) {
    case '\'':
    case '"': return Quoted(start, c);
    case '[': return Bracketed(start);
    case '#': return Date(start);
    case '<':
      ++pos_;
      if (pos_ < s_.size() && (s_[pos_] == '=' || s_[pos_] == '>')) ++pos_;
      return Symbol(start);
    case '>':
      ++pos_;
      if (pos_ < s_.size() && s_[pos_] == '=') ++pos_;
      return Symbol(start);
    case '(': case ')': case ',': case ';': case '*': case '=': case '+': case '-': case '.':
    case '/': case '\\': case '^': case '&':
      ++pos_;
      return Symbol(start);
    default: {
      std::size_t n = Utf8SequenceLength(s_, start);
      Fail(start, "unexpected character '" + std::string(s_.substr(start, n ? n : 1)) + "'");
    }
  }
}

Token Lexer::Symbol(std::size_t start) {
  return Token{Token::Kind::kSymbol, std::string(s_.substr(start, pos_ - start)), start};
}

Token Lexer::Number(std::size_t start) {
  while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
  if (pos_ < s_.size() && s_[pos_] == '.') {
    ++pos_;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
  }
  if (pos_ < s_.size() && (s_[pos_] == 'e' || s_[pos_] == 'E')) {
    std::size_t exponent = pos_ + 1;
    if (exponent < s_.size() && (s_[exponent] == '+' || s_[exponent] == '-')) ++exponent;
    if (exponent >= s_.size() || !IsDigit(s_[exponent]))
      Fail(start, "number with an incomplete exponent");
    pos_ = exponent;
    while (pos_ < s_.size() && IsDigit(s_[pos_])) ++pos_;
  }
  return Token{Token::Kind::kNumber, std::string(s_.substr(start, pos_ - start)), start};
}

Token Lexer::Binary(std::size_t start) {
  pos_ += 2;
  std::size_t digits = pos_;
  while (pos_ < s_.size() && IsHexDigit(s_[pos_])) ++pos_;
  if ((pos_ - digits) % 2 != 0) Fail(start, "binary literal with an odd number of hex digits");
  return Token{Token::Kind::kBinary, std::string(s_.substr(digits, pos_ - digits)), start};
}

// 'it''s' or "say ""hi""": the quote doubled stands for itself. Nothing
// else is special inside, so Windows paths keep their backslashes.
Token Lexer::Quoted(std::size_t start, char quote) {
  std::string value;
  ++pos_;
  for (;;) {
    std::size_t close = s_.find(quote, pos_);
    if (close == std::string_view::npos) Fail(start, "string without its closing quote");
    value.append(s_.substr(pos_, close - pos_));
    pos_ = close + 1;
    if (pos_ < s_.size() && s_[pos_] == quote) {
      value += quote;
      ++pos_;
      continue;
    }
    break;
  }
  return Token{Token::Kind::kString, std::move(value), start};
}

Token Lexer::Bracketed(std::size_t start) {
  std::size_t close = s_.find(']', pos_ + 1);
  if (close == std::string_view::npos) Fail(start, "name without its closing ']'");
  std::string name(s_.substr(pos_ + 1, close - pos_ - 1));
  if (name.empty()) Fail(start, "empty name '[]'");
  pos_ = close + 1;
  return Token{Token::Kind::kName, std::move(name), start};
}

Token Lexer::Date(std::size_t start) {
  std::size_t close = s_.find('#', pos_ + 1);
  if (close == std::string_view::npos) Fail(start, "date without its closing '#'");
  std::string text(s_.substr(pos_ + 1, close - pos_ - 1));
  pos_ = close + 1;
  return Token{Token::Kind::kDate, std::move(text), start};
}

}  // namespace act::sql
