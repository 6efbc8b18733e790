// Values packed into one byte string: a result that has to be held whole
// (sorted, grouped, made distinct) costs its data and a few bytes a value,
// rather than a Value object (56 bytes and a heap block for longer texts)
// for each.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "db/value.h"

namespace act::db::exec {

// Appends `v` to `out`.
void PackValue(std::string& out, const Value& v);

// Reads back the values PackValue appended, in order, into `values`
// (resized to their number).
void UnpackValues(std::string_view packed, std::vector<Value>& values);

}  // namespace act::db::exec
