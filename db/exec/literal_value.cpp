#include "db/exec/literal_value.h"

#include <limits>

#include "db/sql/date_literal.h"

namespace act::db::exec {

Value LiteralValue(const sql::Value& literal) {
  switch (literal.kind) {
    case sql::Value::Kind::kNull: return Value::Null();
    case sql::Value::Kind::kBoolean: return Value::Boolean(literal.boolean);
    case sql::Value::Kind::kInteger:
      if (literal.integer >= std::numeric_limits<int32_t>::min() &&
          literal.integer <= std::numeric_limits<int32_t>::max()) {
        return Value::Long(int32_t(literal.integer));
      }
      return Value::Double(double(literal.integer));
    case sql::Value::Kind::kNumber: return Value::Double(literal.number);
    case sql::Value::Kind::kText: return Value::Text(literal.text);
    case sql::Value::Kind::kDate: return Value::DateTime(sql::ToJetDate(literal.date));
    case sql::Value::Kind::kBinary: return Value::Binary(literal.text);
  }
  return Value::Null();
}

}  // namespace act::db::exec
