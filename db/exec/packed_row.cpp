#include "db/exec/packed_row.h"

#include <cstdint>
#include <cstring>

namespace act::db::exec {

namespace {

template <class T>
void Append(std::string& out, T v) {
  char bytes[sizeof v];
  std::memcpy(bytes, &v, sizeof v);
  out.append(bytes, sizeof v);
}

template <class T>
T Take(std::string_view& in) {
  T v;
  std::memcpy(&v, in.data(), sizeof v);
  in.remove_prefix(sizeof v);
  return v;
}

}  // namespace

void PackValue(std::string& out, const Value& v) {
  using Kind = Value::Kind;
  out += char(v.kind());
  switch (v.kind()) {
    case Kind::kNull: break;
    case Kind::kBoolean: case Kind::kByte: case Kind::kInteger: case Kind::kLong:
    case Kind::kCurrency:
      Append(out, v.integer());
      break;
    case Kind::kSingle: case Kind::kDouble: case Kind::kDateTime: Append(out, v.real()); break;
    case Kind::kText: case Kind::kBinary: case Kind::kGuid: case Kind::kDecimal:
      Append(out, uint32_t(v.bytes().size()));
      out += v.bytes();
      break;
  }
}

void UnpackValues(std::string_view in, std::vector<Value>& values) {
  using Kind = Value::Kind;
  size_t n = 0;
  while (!in.empty()) {
    if (values.size() == n) values.emplace_back();
    Value& v = values[n++];
    const Kind kind = Kind(uint8_t(in[0]));
    in.remove_prefix(1);
    switch (kind) {
      case Kind::kNull: v = Value::Null(); break;
      case Kind::kBoolean: v = Value::Boolean(Take<int64_t>(in) != 0); break;
      case Kind::kByte: v = Value::Byte(uint8_t(Take<int64_t>(in))); break;
      case Kind::kInteger: v = Value::Integer(int16_t(Take<int64_t>(in))); break;
      case Kind::kLong: v = Value::Long(int32_t(Take<int64_t>(in))); break;
      case Kind::kCurrency: v = Value::Currency(Take<int64_t>(in)); break;
      case Kind::kSingle: v = Value::Single(float(Take<double>(in))); break;
      case Kind::kDouble: v = Value::Double(Take<double>(in)); break;
      case Kind::kDateTime: v = Value::DateTime(Take<double>(in)); break;
      case Kind::kText: case Kind::kBinary: case Kind::kGuid: case Kind::kDecimal: {
        const uint32_t size = Take<uint32_t>(in);
        std::string bytes(in.substr(0, size));
        in.remove_prefix(size);
        v = kind == Kind::kText     ? Value::Text(std::move(bytes))
            : kind == Kind::kBinary ? Value::Binary(std::move(bytes))
            : kind == Kind::kGuid   ? Value::Guid(std::move(bytes))
                                    : Value::Decimal(std::move(bytes));
        break;
      }
    }
  }
  values.resize(n);
}

}  // namespace act::db::exec
