#include "db/value.h"

#include <cstdio>
#include <cstdlib>

namespace act::db {

Value Value::Single(float v) {
  Value value(Kind::kSingle, 0);
  value.real_ = v;
  return value;
}

Value Value::Double(double v) {
  Value value(Kind::kDouble, 0);
  value.real_ = v;
  return value;
}

Value Value::DateTime(double days) {
  Value value(Kind::kDateTime, 0);
  value.real_ = days;
  return value;
}

bool Value::is_number() const {
  switch (kind_) {
    case Kind::kNull: case Kind::kText: case Kind::kBinary: case Kind::kGuid: return false;
    default: return true;
  }
}

bool Value::is_integral() const {
  return kind_ == Kind::kBoolean || kind_ == Kind::kByte || kind_ == Kind::kInteger ||
         kind_ == Kind::kLong;
}

double Value::AsDouble() const {
  if (is_integral()) return double(int_);
  if (kind_ == Kind::kCurrency) return double(int_) / 10000.0;
  if (kind_ == Kind::kDecimal) return std::strtod(bytes_.c_str(), nullptr);
  return real_;
}

std::string FormatDouble(double v) {
  char buffer[40];
  for (int precision = 15; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof buffer, "%.*g", precision, v);
    if (std::strtod(buffer, nullptr) == v) break;
  }
  return buffer;
}

std::string Value::ToText() const {
  switch (kind_) {
    case Kind::kNull: return "";
    case Kind::kBoolean: case Kind::kByte: case Kind::kInteger: case Kind::kLong:
      return std::to_string(int_);
    case Kind::kCurrency: {
      uint64_t magnitude = int_ < 0 ? 0 - uint64_t(int_) : uint64_t(int_);
      std::string text = std::to_string(magnitude / 10000);
      unsigned fraction = unsigned(magnitude % 10000);
      if (fraction != 0) {
        char digits[8];
        std::snprintf(digits, sizeof digits, ".%04u", fraction);
        std::string f = digits;
        while (f.back() == '0') f.pop_back();
        text += f;
      }
      return int_ < 0 ? "-" + text : text;
    }
    case Kind::kSingle: {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%.7g", real_);
      return buffer;
    }
    case Kind::kDouble: case Kind::kDateTime: return FormatDouble(real_);
    default: return bytes_;
  }
}

}  // namespace act::db
