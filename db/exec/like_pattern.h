// Jet's LIKE patterns: * any run of characters, ? any one character, # any
// one digit, [abc] one of the characters listed, [a-z] one in the range,
// [!...] one not listed; [*], [?], [#] and [[] stand for the character
// itself. Letters match without regard to case, and ranges follow the
// text order of conditions (value_order.h), as Jet's do.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace act::db::exec {

class LikePattern {
 public:
  // nullopt when the pattern is malformed (a '[' never closed, a range
  // that runs backwards).
  static std::optional<LikePattern> Compile(std::string_view pattern);

  bool Matches(std::string_view text) const;

 private:
  struct Item {
    enum class Kind : uint8_t { kAnyRun, kAnyOne, kDigit, kSet } kind = Kind::kSet;
    bool negated = false;
    std::vector<std::pair<uint32_t, uint32_t>> ranges;  // by rank, inclusive
  };
  bool MatchesOne(const Item& item, uint32_t code_point) const;

  std::vector<Item> items_;
};

}  // namespace act::db::exec
