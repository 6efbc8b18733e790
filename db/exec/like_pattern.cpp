#include "db/exec/like_pattern.h"

#include <algorithm>
#include <array>
#include <string>

#include "db/jet/index/index_key.h"
#include "db/jet/table/text.h"
#include "db/sql/utf8.h"

namespace act::db::exec {

namespace {

// The code point of the character at text[at], moving `at` past it.
uint32_t NextCodePoint(std::string_view text, size_t& at) {
  size_t length = sql::Utf8SequenceLength(text, at);
  if (length == 0) return uint8_t(text[at++]);
  uint32_t c = uint8_t(text[at]);
  if (length > 1) c &= 0xFFu >> (length + 1);
  for (size_t i = 1; i < length; ++i) c = (c << 6) | (uint8_t(text[at + i]) & 0x3F);
  at += length;
  return c;
}

// Where characters stand in Jet's text order, one character at a time:
// equal ranks for characters that compare equal ('a' and 'A'). Characters
// of Windows-1252 (the highest is U+2122) are ranked by their Jet 3 key;
// any other ranks after them, equal only to itself.
constexpr uint32_t kRankedCodePoints = 0x2123;

uint32_t Rank(uint32_t code_point) {
  static const std::array<uint32_t, kRankedCodePoints> ranks = [] {
    std::vector<std::pair<std::string, uint32_t>> keyed;  // key, code point
    for (int b = 1; b < 256; ++b) {
      const uint8_t byte = uint8_t(b);
      std::string utf8 = jet::Cp1252ToUtf8(std::span<const uint8_t>(&byte, 1));
      size_t at = 0;
      jet::KeyBytes key = jet::Jet3TextKey(std::string(1, char(byte)));
      keyed.emplace_back(std::string(key.begin(), key.end()), NextCodePoint(utf8, at));
    }
    std::sort(keyed.begin(), keyed.end());
    std::array<uint32_t, kRankedCodePoints> out{};
    uint32_t rank = 0;
    for (size_t i = 0; i < keyed.size(); ++i) {
      if (i == 0 || keyed[i].first != keyed[i - 1].first) ++rank;
      if (keyed[i].second < kRankedCodePoints) out[keyed[i].second] = rank;
    }
    return out;
  }();
  if (code_point < kRankedCodePoints && ranks[code_point] != 0) return ranks[code_point];
  return kRankedCodePoints + code_point;
}

}  // namespace

std::optional<LikePattern> LikePattern::Compile(std::string_view pattern) {
  LikePattern out;
  size_t at = 0;
  while (at < pattern.size()) {
    uint32_t c = NextCodePoint(pattern, at);
    Item item;
    if (c == '*') {
      if (!out.items_.empty() && out.items_.back().kind == Item::Kind::kAnyRun) continue;
      item.kind = Item::Kind::kAnyRun;
    } else if (c == '?') {
      item.kind = Item::Kind::kAnyOne;
    } else if (c == '#') {
      item.kind = Item::Kind::kDigit;
    } else if (c == '[') {
      std::vector<uint32_t> list;  // code points, with '-' between range ends kept
      bool closed = false;
      while (at < pattern.size()) {
        uint32_t d = NextCodePoint(pattern, at);
        if (d == ']') {
          closed = true;
          break;
        }
        list.push_back(d);
      }
      if (!closed) return std::nullopt;
      if (list.empty()) continue;  // [] matches nothing: the empty text
      size_t i = 0;
      if (list[0] == '!' && list.size() > 1) {
        item.negated = true;
        i = 1;
      }
      for (; i < list.size(); ++i) {
        // '-' at either end of the list stands for itself.
        if (i + 2 < list.size() && list[i + 1] == '-') {
          uint32_t low = Rank(list[i]), high = Rank(list[i + 2]);
          if (low > high) return std::nullopt;
          item.ranges.emplace_back(low, high);
          i += 2;
        } else {
          item.ranges.emplace_back(Rank(list[i]), Rank(list[i]));
        }
      }
    } else {
      item.ranges.emplace_back(Rank(c), Rank(c));
    }
    out.items_.push_back(std::move(item));
  }
  return out;
}

bool LikePattern::MatchesOne(const Item& item, uint32_t code_point) const {
  switch (item.kind) {
    case Item::Kind::kAnyOne: return true;
    case Item::Kind::kDigit: return code_point >= '0' && code_point <= '9';
    case Item::Kind::kAnyRun: return false;
    case Item::Kind::kSet: break;
  }
  const uint32_t rank = Rank(code_point);
  bool listed = std::any_of(item.ranges.begin(), item.ranges.end(), [&](const auto& r) {
    return rank >= r.first && rank <= r.second;
  });
  return listed != item.negated;
}

bool LikePattern::Matches(std::string_view text) const {
  // Every item but * takes exactly one character, so a failed match only
  // ever needs to go back to the last * and let it take one more.
  size_t item = 0, at = 0;
  size_t star = items_.size(), star_at = 0;
  while (at < text.size()) {
    if (item < items_.size() && items_[item].kind == Item::Kind::kAnyRun) {
      star = item++;
      star_at = at;
      continue;
    }
    size_t next = at;
    uint32_t c = NextCodePoint(text, next);
    if (item < items_.size() && MatchesOne(items_[item], c)) {
      ++item;
      at = next;
      continue;
    }
    if (star == items_.size()) return false;
    item = star + 1;
    NextCodePoint(text, star_at);
    at = star_at;
  }
  while (item < items_.size() && items_[item].kind == Item::Kind::kAnyRun) ++item;
  return item == items_.size();
}

}  // namespace act::db::exec
