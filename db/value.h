// A field value as the engine hands it out: Null, a number of one of Jet's
// numeric types, text (UTF-8), or bytes. The kind follows the column type,
// so that the writer can store a value back in the same form and the
// export tools can format each type the way Access users expect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace act::db {

class Value {
 public:
  enum class Kind : uint8_t {
    kNull,
    kBoolean,
    kByte,
    kInteger,   // 16-bit
    kLong,      // 32-bit
    kCurrency,  // 64-bit count of 1/10000
    kSingle,
    kDouble,
    kDateTime,  // days since 1899-12-30, fraction = time of day
    kText,      // UTF-8
    kBinary,    // raw bytes (binary, OLE)
    kGuid,      // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    kDecimal,   // exact decimal as text ("-12.340")
  };

  Value() = default;
  static Value Null() { return Value(); }
  static Value Boolean(bool b) { return Value(Kind::kBoolean, b ? 1 : 0); }
  static Value Byte(uint8_t v) { return Value(Kind::kByte, v); }
  static Value Integer(int16_t v) { return Value(Kind::kInteger, v); }
  static Value Long(int32_t v) { return Value(Kind::kLong, v); }
  static Value Currency(int64_t ten_thousandths) { return Value(Kind::kCurrency, ten_thousandths); }
  static Value Single(float v);
  static Value Double(double v);
  static Value DateTime(double days);
  static Value Text(std::string utf8) { return Value(Kind::kText, std::move(utf8)); }
  static Value Binary(std::string bytes) { return Value(Kind::kBinary, std::move(bytes)); }
  static Value Guid(std::string text) { return Value(Kind::kGuid, std::move(text)); }
  static Value Decimal(std::string text) { return Value(Kind::kDecimal, std::move(text)); }

  Kind kind() const { return kind_; }
  bool is_null() const { return kind_ == Kind::kNull; }
  bool is_text() const { return kind_ == Kind::kText; }
  // Booleans, integers, currency, floating point, dates and decimals.
  bool is_number() const;
  // Boolean, Byte, Integer and Long: the value (true = 1).
  bool is_integral() const;

  // Makes this value empty text and hands back its buffer, capacity kept,
  // for the caller to fill with UTF-8: a scan that decodes row after row
  // into the same values then allocates nothing once the buffers are big
  // enough.
  std::string& TextBuffer() {
    kind_ = Kind::kText;
    int_ = 0;
    real_ = 0;
    bytes_.clear();
    return bytes_;
  }

  int64_t integer() const { return int_; }            // integral kinds and currency (scaled)
  double real() const { return real_; }               // Single, Double, DateTime
  const std::string& bytes() const { return bytes_; }  // text, binary, GUID, decimal
  // Any number as a double (currency divided by 10000).
  double AsDouble() const;

  // The value's text form where a statement or a report embeds it: text
  // unchanged, whole numbers as decimal digits, Null as the empty text,
  // other numbers in their shortest exact decimal form.
  std::string ToText() const;

  bool operator==(const Value& other) const = default;

 private:
  Value(Kind kind, int64_t i) : kind_(kind), int_(i) {}
  Value(Kind kind, std::string s) : kind_(kind), bytes_(std::move(s)) {}

  Kind kind_ = Kind::kNull;
  int64_t int_ = 0;
  double real_ = 0;
  std::string bytes_;
};

// Text form of a double: the shortest decimal that reads back exactly.
std::string FormatDouble(double v);

}  // namespace act::db
