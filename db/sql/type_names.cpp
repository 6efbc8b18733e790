#include "db/sql/type_names.h"

namespace act::sql {
namespace {

struct TypeName {
  const char* name;
  ColumnType type;
};

// The first name of each type is its canonical spelling.
const TypeName kTypeNames[] = {
    {"BIT", ColumnType::kBit},           {"YESNO", ColumnType::kBit},
    {"LOGICAL", ColumnType::kBit},       {"LOGICAL1", ColumnType::kBit},
    {"BOOLEAN", ColumnType::kBit},
    {"BYTE", ColumnType::kByte},         {"INTEGER1", ColumnType::kByte},
    {"TINYINT", ColumnType::kByte},
    {"SHORT", ColumnType::kShort},       {"SMALLINT", ColumnType::kShort},
    {"INTEGER2", ColumnType::kShort},
    {"LONG", ColumnType::kLong},         {"INTEGER", ColumnType::kLong},
    {"INT", ColumnType::kLong},          {"INTEGER4", ColumnType::kLong},
    {"COUNTER", ColumnType::kCounter},   {"AUTOINCREMENT", ColumnType::kCounter},
    {"CURRENCY", ColumnType::kCurrency}, {"MONEY", ColumnType::kCurrency},
    {"SINGLE", ColumnType::kSingle},     {"REAL", ColumnType::kSingle},
    {"FLOAT4", ColumnType::kSingle},     {"IEEESINGLE", ColumnType::kSingle},
    {"DOUBLE", ColumnType::kDouble},     {"FLOAT", ColumnType::kDouble},
    {"FLOAT8", ColumnType::kDouble},     {"IEEEDOUBLE", ColumnType::kDouble},
    {"NUMBER", ColumnType::kDouble},
    {"DATETIME", ColumnType::kDateTime}, {"DATE", ColumnType::kDateTime},
    {"TIME", ColumnType::kDateTime},     {"TIMESTAMP", ColumnType::kDateTime},
    {"TEXT", ColumnType::kText},         {"VARCHAR", ColumnType::kText},
    {"CHAR", ColumnType::kText},         {"CHARACTER", ColumnType::kText},
    {"STRING", ColumnType::kText},       {"ALPHANUMERIC", ColumnType::kText},
    {"NCHAR", ColumnType::kText},        {"NVARCHAR", ColumnType::kText},
    {"BINARY", ColumnType::kBinary},     {"VARBINARY", ColumnType::kBinary},
    {"MEMO", ColumnType::kMemo},         {"LONGTEXT", ColumnType::kMemo},
    {"LONGCHAR", ColumnType::kMemo},     {"NOTE", ColumnType::kMemo},
    {"LONGBINARY", ColumnType::kLongBinary}, {"OLEOBJECT", ColumnType::kLongBinary},
    {"GENERAL", ColumnType::kLongBinary},    {"IMAGE", ColumnType::kLongBinary},
    {"GUID", ColumnType::kGuid},         {"UNIQUEIDENTIFIER", ColumnType::kGuid},
};

bool EqualsNoCase(std::string_view a, const char* upper) {
  std::size_t i = 0;
  for (; i < a.size() && upper[i]; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return i == a.size() && upper[i] == '\0';
}

}  // namespace

std::optional<ColumnType> LookupColumnType(std::string_view name) {
  for (const TypeName& t : kTypeNames)
    if (EqualsNoCase(name, t.name)) return t.type;
  return std::nullopt;
}

const char* DdlTypeName(ColumnType type) {
  for (const TypeName& t : kTypeNames)
    if (t.type == type) return t.name;
  return "TEXT";
}

}  // namespace act::sql
