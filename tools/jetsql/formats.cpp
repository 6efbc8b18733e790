#include "tools/jetsql/formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "db/sql/date_literal.h"

namespace act::jetsql {
namespace {

std::string Printf(const char* format, double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, format, value);
  return buffer;
}

std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

// The shortest text that reads back as the same number; null for the
// values JSON has no number for.
template <typename T>
std::string ShortestNumber(T value) {
  if (!std::isfinite(value)) return "null";
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : "null";
}

}  // namespace

std::string CurrencyText(std::int64_t ten_thousandths) {
  bool negative = ten_thousandths < 0;
  // Unsigned arithmetic, so that the most negative value has a magnitude.
  std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(ten_thousandths)
                                     : static_cast<std::uint64_t>(ten_thousandths);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04u", negative ? "-" : "",
                static_cast<unsigned long long>(magnitude / 10000),
                static_cast<unsigned>(magnitude % 10000));
  return buffer;
}

std::string MdbExportDate(double jet_date) {
  // mdb-export's own conversion, kept so that the two outputs compare:
  // dates before 1899-12-30 (negative) or after day 1e6 print as the empty
  // calendar "01/00/00 00:00:00", and a time that rounds up to midnight
  // prints as 24:00:00 of the same day. JSON gives the true date.
  if (!(jet_date >= 0 && jet_date <= 1e6)) return "01/00/00 00:00:00";
  long long day = static_cast<long long>(jet_date);
  long long seconds = static_cast<long long>((jet_date - static_cast<double>(day)) * 86400.0 + 0.5);
  auto d = sql::FromJetDate(static_cast<double>(day));
  if (!d) return "01/00/00 00:00:00";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02lld:%02lld:%02lld", d->month, d->day,
                d->year % 100, seconds / 3600, seconds / 60 % 60, seconds % 60);
  return buffer;
}

std::string IsoDate(double jet_date) {
  auto d = sql::FromJetDate(jet_date);
  if (!d) return Printf("%.16g", jet_date);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d", d->year, d->month, d->day,
                d->hour, d->minute, d->second);
  return buffer;
}

std::string CsvHeader(const std::vector<std::string>& names) {
  std::string out;
  for (std::size_t i = 0; i < names.size(); ++i) out += (i ? "," : "") + names[i];
  return out + "\n";
}

void AppendCsvValue(std::string& out, const db::Value& value) {
  using Kind = db::Value::Kind;
  auto quoted = [&out](std::string_view text) {
    if (text.empty()) return;
    out += '"';
    // Quotes are doubled; the text between them goes over in one piece.
    for (size_t from = 0;;) {
      const size_t quote = text.find('"', from);
      if (quote == std::string_view::npos) {
        out.append(text, from);
        break;
      }
      out.append(text, from, quote + 1 - from);
      out += '"';
      from = quote + 1;
    }
    out += '"';
  };
  switch (value.kind()) {
    // mdb-export cannot tell Null from an empty text: both print as nothing.
    case Kind::kNull: return;
    case Kind::kBoolean:
    case Kind::kByte:
    case Kind::kInteger:
    case Kind::kLong: {
      char buffer[24];
      auto end = std::to_chars(buffer, buffer + sizeof buffer, value.integer()).ptr;
      out.append(buffer, end);
      return;
    }
    case Kind::kCurrency: out += CurrencyText(value.integer()); return;
    case Kind::kSingle: out += Printf("%.8g", value.real()); return;
    case Kind::kDouble: out += Printf("%.16g", value.real()); return;
    case Kind::kDecimal: out += value.bytes(); return;
    case Kind::kDateTime: quoted(MdbExportDate(value.real())); return;
    case Kind::kText:
    case Kind::kBinary: quoted(value.bytes()); return;
    case Kind::kGuid: {
      // mdb-export groups a GUID's digits 8-4-4-16: {8E39276A-BCA8-4AC4-891E49911D8438DD}.
      std::string text = value.bytes();
      if (text.size() == 38 && text[24] == '-') text.erase(24, 1);
      quoted(text);
      return;
    }
  }
}

void AppendCsvRow(std::string& out, const std::vector<db::Value>& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i) out += ',';
    AppendCsvValue(out, values[i]);
  }
  out += '\n';
}

std::string CsvValue(const db::Value& value) {
  std::string out;
  AppendCsvValue(out, value);
  return out;
}

std::string CsvRow(const std::vector<db::Value>& values) {
  std::string out;
  AppendCsvRow(out, values);
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char buffer[8];
          std::snprintf(buffer, sizeof buffer, "\\u%04x", static_cast<unsigned>(c));
          out += buffer;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string JsonValue(const db::Value& value) {
  using Kind = db::Value::Kind;
  switch (value.kind()) {
    case Kind::kNull: return "null";
    case Kind::kBoolean: return value.integer() ? "true" : "false";
    case Kind::kByte:
    case Kind::kInteger:
    case Kind::kLong: return std::to_string(value.integer());
    case Kind::kCurrency: {
      std::string text = CurrencyText(value.integer());
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
      return text;
    }
    case Kind::kSingle: return ShortestNumber(static_cast<float>(value.real()));
    case Kind::kDouble: return ShortestNumber(value.real());
    case Kind::kDecimal: return value.bytes().empty() ? "null" : value.bytes();
    case Kind::kDateTime: return JsonString(IsoDate(value.real()));
    case Kind::kBinary: return JsonString(Hex(value.bytes()));
    case Kind::kText:
    case Kind::kGuid: return JsonString(value.bytes());
  }
  return "null";
}

std::string JsonRow(const std::vector<std::string>& names, const std::vector<db::Value>& values) {
  std::string out = "{";
  for (std::size_t i = 0; i < values.size() && i < names.size(); ++i) {
    if (i) out += ",";
    out += JsonString(names[i]) + ":" + JsonValue(values[i]);
  }
  return out + "}\n";
}

}  // namespace act::jetsql
