#include "tools/jetsql/formats.h"

#include <charconv>
#include <cmath>
#include <cstdio>

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
  std::string fraction = std::to_string(magnitude % 10000);
  fraction.insert(0, 4 - fraction.size(), '0');
  return (negative ? "-" : "") + std::to_string(magnitude / 10000) + "." + fraction;
}

std::string GuidText(const std::string& bytes) {
  if (bytes.size() != 16) return Hex(bytes);
  // The first three groups are stored little-endian, the last two as bytes.
  auto at = [&](std::initializer_list<int> order) {
    std::string picked;
    for (int i : order) picked += bytes[static_cast<std::size_t>(i)];
    return Hex(picked);
  };
  return "{" + at({3, 2, 1, 0}) + "-" + at({5, 4}) + "-" + at({7, 6}) + "-" + at({8, 9}) + "-" +
         at({10, 11, 12, 13, 14, 15}) + "}";
}

std::string MdbExportDate(double jet_date) {
  auto d = sql::FromJetDate(jet_date);
  if (!d) return Printf("%.16g", jet_date);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%02d/%02d/%02d %02d:%02d:%02d", d->month, d->day,
                d->year % 100, d->hour, d->minute, d->second);
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

std::string CsvValue(const Cell& cell) {
  // mdb-export cannot tell Null from an empty text: both print as nothing.
  if (cell.is_null) return "";
  std::string text;
  switch (cell.type) {
    case CellType::kBoolean: return cell.integer ? "1" : "0";
    case CellType::kByte:
    case CellType::kShort:
    case CellType::kLong: return std::to_string(cell.integer);
    case CellType::kCurrency: return CurrencyText(cell.integer);
    case CellType::kSingle: return Printf("%.8g", cell.real);
    case CellType::kDouble: return Printf("%.16g", cell.real);
    case CellType::kDateTime: text = MdbExportDate(cell.real); break;
    case CellType::kGuid: text = GuidText(cell.bytes); break;
    default: text = cell.bytes; break;
  }
  if (text.empty()) return "";
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

std::string CsvRow(const std::vector<Cell>& cells) {
  std::string out;
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (i) out += ',';
    out += CsvValue(cells[i]);
  }
  return out + "\n";
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

std::string JsonValue(const Cell& cell) {
  if (cell.is_null) return "null";
  switch (cell.type) {
    case CellType::kBoolean: return cell.integer ? "true" : "false";
    case CellType::kByte:
    case CellType::kShort:
    case CellType::kLong: return std::to_string(cell.integer);
    case CellType::kCurrency: {
      std::string text = CurrencyText(cell.integer);
      text.erase(text.find_last_not_of('0') + 1);
      if (text.back() == '.') text.pop_back();
      return text;
    }
    case CellType::kSingle: return ShortestNumber(static_cast<float>(cell.real));
    case CellType::kDouble: return ShortestNumber(cell.real);
    case CellType::kDateTime: return JsonString(IsoDate(cell.real));
    case CellType::kGuid: return JsonString(GuidText(cell.bytes));
    case CellType::kBinary:
    case CellType::kLongBinary: return JsonString(Hex(cell.bytes));
    default: return JsonString(cell.bytes);
  }
}

std::string JsonRow(const std::vector<std::string>& names, const std::vector<Cell>& cells) {
  std::string out = "{";
  for (std::size_t i = 0; i < cells.size() && i < names.size(); ++i) {
    if (i) out += ",";
    out += JsonString(names[i]) + ":" + JsonValue(cells[i]);
  }
  return out + "}\n";
}

}  // namespace act::jetsql
