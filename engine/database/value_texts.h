// How the carry-over reads field values and puts them into statements.
#pragma once

#include <cstdint>
#include <string>

#include "db/dao/dao.h"

namespace act {

// Not Null, and a text form that is not empty; every number, 0 included.
bool IsNonEmpty(const db::Value& v);

// Text unchanged, whole numbers as their digits ('-' first when negative),
// Null as the empty text.
std::string TextForm(const db::Value& v);

// The value as a signed 32-bit integer, the way VB's CLng converts it:
// numbers and numeric text round half to even; out of range is error 6
// (Overflow), anything else that is no number error 13 (Type mismatch).
// `what` names the value in the error.
int32_t ToLong(const db::Value& v, const std::string& what);

}  // namespace act
