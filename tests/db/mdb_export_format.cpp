#include "tests/db/mdb_export_format.h"

#include <cmath>
#include <cstdio>

#include "db/jet/table/table_scan.h"

namespace act::db::testing {

namespace {

std::string Quoted(const std::string& s) {
  std::string out;
  out.reserve(s.size() + 2);
  out += '"';
  size_t from = 0;
  for (size_t quote; (quote = s.find('"', from)) != std::string::npos; from = quote + 1) {
    out.append(s, from, quote + 1 - from);
    out += '"';
  }
  out.append(s, from, std::string::npos);
  out += '"';
  return out;
}

// Calendar date of a day count from 1899-12-30 (the day part truncated
// toward zero, the time rounded to the second, as mdb-export does).
std::string DateText(double days) {
  // mdb-export leaves dates before 1899-12-30 (and absurdly late ones) as an
  // all-zero struct tm.
  if (days < 0 || days > 1e6) return "01/00/00 00:00:00";
  long day = long(days);
  long seconds = long((days - day) * 86400.0 + 0.5);
  long long days_from_epoch = (long long)day - 25569;  // relative to 1970-01-01
  long long zz = days_from_epoch + 719468;
  long long era = (zz >= 0 ? zz : zz - 146096) / 146097;
  long long doe = zz - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%02lld/%02lld/%02lld %02ld:%02ld:%02ld", m, d,
                ((y % 100) + 100) % 100, seconds / 3600, (seconds / 60) % 60, seconds % 60);
  return buffer;
}

// mdb-export's text conversion turns the five bytes that Windows-1252 leaves
// undefined (U+0081, U+008D, U+008F, U+0090, U+009D here) into '?'.
std::string LikeMdbExportText(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size(); ++i) {
    unsigned char c = utf8[i];
    if (c == 0xC2 && i + 1 < utf8.size()) {
      unsigned char d = utf8[i + 1];
      if (d == 0x81 || d == 0x8D || d == 0x8F || d == 0x90 || d == 0x9D) {
        out += '?';
        ++i;
        continue;
      }
    }
    out += char(c);
  }
  return out;
}

// mdb-export prints GUIDs without the dash before the last group.
std::string LikeMdbExportGuid(std::string guid) {
  if (guid.size() == 38 && guid[24] == '-') guid.erase(24, 1);
  return guid;
}

std::string CurrencyText(int64_t scaled) {
  uint64_t magnitude = scaled < 0 ? 0 - uint64_t(scaled) : uint64_t(scaled);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", scaled < 0 ? "-" : "",
                (unsigned long long)(magnitude / 10000), (unsigned long long)(magnitude % 10000));
  return buffer;
}

}  // namespace

std::string MdbExportField(const Value& v) {
  char buffer[64];
  switch (v.kind()) {
    case Value::Kind::kNull: return "";
    case Value::Kind::kBoolean: case Value::Kind::kByte: case Value::Kind::kInteger:
    case Value::Kind::kLong:
      return std::to_string(v.integer());
    case Value::Kind::kCurrency: return CurrencyText(v.integer());
    case Value::Kind::kSingle:
      std::snprintf(buffer, sizeof buffer, "%.8g", v.real());
      return buffer;
    case Value::Kind::kDouble:
      std::snprintf(buffer, sizeof buffer, "%.16g", v.real());
      return buffer;
    case Value::Kind::kDateTime: return Quoted(DateText(v.real()));
    case Value::Kind::kDecimal: return v.bytes();
    case Value::Kind::kText: return Quoted(LikeMdbExportText(v.bytes()));
    case Value::Kind::kGuid: return Quoted(LikeMdbExportGuid(v.bytes()));
    default: return Quoted(v.bytes());
  }
}

std::string RenderLikeMdbExport(jet::Database& db, const std::string& name) {
  auto table = db.Table(name);
  std::string out;
  for (size_t i = 0; i < table->columns.size(); ++i) {
    if (i) out += ',';
    out += table->columns[i].name;
  }
  out += '\n';
  jet::TableScan scan(db.pager(), db.format(), *table);
  while (scan.Next()) {
    for (size_t i = 0; i < table->columns.size(); ++i) {
      if (i) out += ',';
      out += MdbExportField(scan.Get(i));
    }
    out += '\n';
  }
  return out;
}

}  // namespace act::db::testing
