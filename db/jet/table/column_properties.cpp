#include "db/jet/table/column_properties.h"

#include <cctype>
#include <cstdlib>
#include <vector>

#include "db/errors.h"
#include "db/jet/table/catalog.h"
#include "db/jet/file/page.h"
#include "db/jet/table/table_scan.h"
#include "db/jet/table/text.h"

namespace act::db::jet {

namespace {

constexpr uint16_t kNamesBlock = 0x80;
constexpr uint16_t kColumnBlock = 0x01;
constexpr uint8_t kPropertyBoolean = 1;

bool SameWord(const std::string& a, const char* b) {
  std::string x;
  for (char c : a) x += char(std::tolower(static_cast<unsigned char>(c)));
  return x == b;
}

// A DefaultValue expression that is a plain literal, as a value.
std::optional<Value> LiteralDefault(const std::string& text) {
  std::string t = text;
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.front()))) t.erase(t.begin());
  while (!t.empty() && std::isspace(static_cast<unsigned char>(t.back()))) t.pop_back();
  if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) {
    std::string inner;
    for (size_t i = 1; i + 1 < t.size(); ++i) {
      inner += t[i];
      if (t[i] == t.front() && i + 2 < t.size() && t[i + 1] == t.front()) ++i;
    }
    return Value::Text(inner);
  }
  if (SameWord(t, "yes") || SameWord(t, "true") || SameWord(t, "on")) return Value::Boolean(true);
  if (SameWord(t, "no") || SameWord(t, "false") || SameWord(t, "off")) return Value::Boolean(false);
  if (t.empty()) return std::nullopt;
  char* end = nullptr;
  double d = std::strtod(t.c_str(), &end);
  if (end != t.c_str() + t.size()) return std::nullopt;  // an expression (=Now(), ...)
  if (d == double(int32_t(d))) return Value::Long(int32_t(d));
  return Value::Double(d);
}

}  // namespace

std::map<std::string, ColumnProperties> ParseColumnProperties(const std::string& blob,
                                                              const std::string& file) {
  std::map<std::string, ColumnProperties> out;
  const auto* b = reinterpret_cast<const uint8_t*>(blob.data());
  size_t n = blob.size();
  auto fail = [&](const std::string& what) {
    return JetFailure(kJetDatabaseCorrupt, file + ": table properties: " + what);
  };
  // Jet 3 keeps names and texts in the code page ("KKD"), Jet 4 in UTF-16
  // ("MR2"); the layout is the same.
  const bool jet3 = n >= 4 && blob.compare(0, 4, std::string("KKD\0", 4)) == 0;
  const bool jet4 = n >= 4 && blob.compare(0, 4, std::string("MR2\0", 4)) == 0;
  if (!jet3 && !jet4) return out;
  auto text = [&](const uint8_t* at, size_t length) {
    return jet3 ? Cp1252ToUtf8({at, length}) : Utf16LeToUtf8({at, length});
  };
  std::vector<std::string> names;
  size_t pos = 4;
  while (pos + 6 <= n) {
    uint32_t block_length = LoadU32(b + pos);
    uint16_t type = LoadU16(b + pos + 4);
    if (block_length < 6 || pos + block_length > n) throw fail("block overruns the blob");
    size_t end = pos + block_length;
    if (type == kNamesBlock) {
      for (size_t p = pos + 6; p + 2 <= end;) {
        uint16_t len = LoadU16(b + p);
        if (p + 2 + len > end) throw fail("name overruns its block");
        names.push_back(text(b + p + 2, len));
        p += 2 + len;
      }
    } else if (type == kColumnBlock) {
      if (pos + 12 > end) throw fail("column block too short");
      uint32_t header = LoadU32(b + pos + 6);
      uint16_t name_length = LoadU16(b + pos + 10);
      if (pos + 12 + name_length > end || header < 6) throw fail("column name overruns its block");
      std::string column = text(b + pos + 12, name_length);
      ColumnProperties& props = out[column];
      for (size_t p = pos + 6 + header; p + 8 <= end;) {
        uint16_t entry_length = LoadU16(b + p);
        uint8_t data_type = b[p + 3];
        uint16_t name_index = LoadU16(b + p + 4);
        uint16_t value_length = LoadU16(b + p + 6);
        if (entry_length < 8 || p + entry_length > end || 8 + size_t(value_length) > entry_length) {
          throw fail("property entry overruns its block");
        }
        if (name_index < names.size()) {
          const std::string& property = names[name_index];
          const uint8_t* value = b + p + 8;
          bool truth = data_type == kPropertyBoolean && value_length >= 1 && value[0] != 0;
          if (property == "Required" && data_type == kPropertyBoolean) props.required = truth;
          if (property == "AllowZeroLength" && data_type == kPropertyBoolean) {
            props.allow_zero_length = truth;
          }
          if (property == "DefaultValue") {
            props.default_value = LiteralDefault(text(value, value_length));
          }
        }
        p += entry_length;
      }
    }
    pos = end;
  }
  return out;
}

std::map<std::string, ColumnProperties> ReadColumnProperties(Database& db, uint32_t tdef_page) {
  auto objects = db.Table("MSysObjects");
  const int id = objects->ColumnIndex("Id"), parent = objects->ColumnIndex("ParentId"),
            lvprop = objects->ColumnIndex("LvProp");
  if (id < 0 || parent < 0 || lvprop < 0) return {};
  TableScan scan(db.pager(), db.format(), *objects);
  while (scan.Next()) {
    if (!(scan.Get(id) == Value::Long(int32_t(tdef_page)))) continue;
    if (!(scan.Get(parent) == Value::Long(kTablesContainerId))) continue;
    Value blob = scan.Get(lvprop);
    if (blob.is_null()) return {};
    return ParseColumnProperties(blob.bytes(), db.path());
  }
  return {};
}

}  // namespace act::db::jet
