// The few UTF-8 facts the SQL front end needs: statements arrive as UTF-8
// and every name and text literal leaves the parser as valid UTF-8, so that
// the conversion to the database's code page never meets a broken sequence.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace act::sql {

// Length in bytes of the well-formed UTF-8 sequence starting at text[pos]
// (1 to 4), or 0 when the bytes there are not one (overlong forms,
// surrogates and values above U+10FFFF are not well-formed).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// Byte offset of the first malformed sequence, or npos when all is valid.
std::size_t FindInvalidUtf8(std::string_view text);

// Number of characters (code points; a malformed byte counts as one).
std::size_t CountCharacters(std::string_view text);

// `pos` moved back to the start of the character it falls in.
std::size_t CharacterStart(std::string_view text, std::size_t pos);

// `text` with each malformed byte replaced by '?', for messages.
std::string ValidUtf8OrQuestionMarks(std::string_view text);

}  // namespace act::sql
