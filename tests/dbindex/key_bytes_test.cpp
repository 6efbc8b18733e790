// Index keys hold short byte strings inside the object and longer ones on
// the heap; both must behave, compare and move like the std::vector<uint8_t>
// they replace, across the boundary between the two.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "db/jet/index/finger_search.h"
#include "db/jet/index/index_key.h"
#include "db/jet/index/index_page.h"
#include "db/jet/index/key_bytes.h"

namespace act::db::jet {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes AsVector(const KeyBytes& k) { return Bytes(k.begin(), k.end()); }

TEST(KeyBytes, EditsMatchVectorAcrossTheInlineBoundary) {
  std::mt19937 random(7);
  for (int trial = 0; trial < 2000; ++trial) {
    KeyBytes key;
    Bytes model;
    for (int step = 0; step < 12; ++step) {
      switch (random() % 5) {
        case 0: {
          uint8_t b = uint8_t(random());
          key.push_back(b);
          model.push_back(b);
          break;
        }
        case 1: {  // insert a run anywhere, sometimes crossing kInline
          Bytes run(random() % 20, uint8_t(random()));
          size_t at = model.empty() ? 0 : random() % (model.size() + 1);
          key.insert(key.begin() + at, run.begin(), run.end());
          model.insert(model.begin() + long(at), run.begin(), run.end());
          break;
        }
        case 2: {
          size_t n = random() % (2 * KeyBytes::kInline);
          key.resize(n, 0xAB);
          model.resize(n, 0xAB);
          break;
        }
        case 3: {  // copies and moves keep the bytes and leave the source usable
          KeyBytes copy(key);
          KeyBytes moved(std::move(copy));
          EXPECT_TRUE(copy.empty());
          copy.push_back(1);
          EXPECT_EQ(Bytes{1}, AsVector(copy));
          key = std::move(moved);
          break;
        }
        case 4:
          if (!model.empty()) {
            key.pop_back();
            model.pop_back();
          }
          break;
      }
      ASSERT_EQ(model, AsVector(key)) << "trial " << trial << " step " << step;
    }
  }
}

TEST(KeyBytes, OrderAndEqualityAreTheVectorsOnesForShortAndLongKeys) {
  std::mt19937 random(11);
  std::vector<Bytes> models;
  for (int i = 0; i < 300; ++i) {
    // Shared stems make prefixes and ties common; lengths straddle kInline
    // and the eight-byte steps; high bytes check unsigned order.
    Bytes b(random() % (KeyBytes::kInline + 8), 0x60);
    for (size_t extra = random() % 4; extra > 0; --extra) {
      b.push_back(uint8_t(random() % 2 ? random() % 3 + 0x60 : 0xF0 + random() % 3));
    }
    models.push_back(b);
  }
  for (const Bytes& a : models) {
    for (const Bytes& b : models) {
      KeyBytes ka(a.begin(), a.end()), kb(b.begin(), b.end());
      ASSERT_EQ(a == b, ka == kb);
      ASSERT_EQ(a < b, ka < kb);
      ASSERT_EQ(a > b, ka > kb);
      // The index code's own comparison, eight bytes at a time.
      ASSERT_EQ(a < b ? -1 : a > b ? 1 : 0, CompareKeys(ka, kb));
    }
  }
}

TEST(KeyBytes, SelfAssignmentKeepsTheBytes) {
  KeyBytes shortkey{1, 2, 3};
  KeyBytes longkey(KeyBytes::kInline + 5, 9);
  KeyBytes& s = shortkey;
  KeyBytes& l = longkey;
  shortkey = s;
  longkey = std::move(l);
  EXPECT_EQ((Bytes{1, 2, 3}), AsVector(shortkey));
  EXPECT_EQ(Bytes(KeyBytes::kInline + 5, 9), AsVector(longkey));
}

TEST(KeyBytes, EntriesInsertedAsBlocksKeepTheirKeysAndRows) {
  // Leaf inserts move entries as bytes; short and long keys must each end
  // up in the right place, owned once (the sanitizer build checks frees).
  std::mt19937 random(5);
  std::vector<IndexEntry> entries;
  std::vector<std::pair<Bytes, uint32_t>> model;
  for (uint32_t n = 0; n < 600; ++n) {
    Bytes key(random() % 2 ? 4 : KeyBytes::kInline + 20, uint8_t(n));
    size_t at = random() % (model.size() + 1);
    IndexEntry e{KeyBytes(key.begin(), key.end()), RowPointer{n, 1}, 0};
    IndexEntry* placed = InsertEntry(entries, at, std::move(e));
    ASSERT_EQ(placed, entries.data() + at);
    model.insert(model.begin() + long(at), {key, n});
  }
  ASSERT_EQ(model.size(), entries.size());
  for (size_t i = 0; i < model.size(); ++i) {
    ASSERT_EQ(model[i].first, AsVector(entries[i].key)) << i;
    ASSERT_EQ(model[i].second, entries[i].row.page) << i;
  }
}

// A split hands the front of a page to a new one as bytes: every entry
// ends up once, on the right side, keys on the heap included (ASan runs
// this too, and would see a block freed twice or lost).
TEST(KeyBytes, FrontEntriesMovedAsBlocksLeaveNothingBehind) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<IndexEntry> from, to;
    std::vector<std::vector<uint8_t>> keys;
    const size_t n = random() % 60;
    for (size_t i = 0; i < n; ++i) {
      std::vector<uint8_t> key(random() % 70, uint8_t(i));  // past 32 bytes: on the heap
      keys.push_back(key);
      from.push_back({KeyBytes(key.begin(), key.end()), RowPointer{uint32_t(i), 0}, 0});
    }
    const size_t held = random() % 3;  // `to` may hold entries, which it drops
    for (size_t i = 0; i < held; ++i) to.push_back({KeyBytes(40, 7), {}, 0});
    const size_t count = n == 0 ? 0 : random() % (n + 1);
    MoveFrontEntries(from, count, to);
    ASSERT_EQ(to.size(), count);
    ASSERT_EQ(from.size(), n - count);
    for (size_t i = 0; i < n; ++i) {
      const IndexEntry& e = i < count ? to[i] : from[i - count];
      ASSERT_EQ(AsVector(e.key), keys[i]) << "trial " << trial << " entry " << i;
      ASSERT_EQ(e.row.page, i);
    }
  }
}

TEST(FingerSearch, FindsWhatLowerBoundFindsFromAnyStart) {
  std::mt19937 random(3);
  for (int trial = 0; trial < 3000; ++trial) {
    std::vector<int> sorted(random() % 40);
    for (int& v : sorted) v = int(random() % 30);
    std::sort(sorted.begin(), sorted.end());
    const int target = int(random() % 32) - 1;
    const size_t near = random() % (sorted.size() + 3);  // past the end too
    size_t probes = 0;
    size_t got = GallopLowerBound(sorted.size(), near, [&](size_t i) {
      ++probes;
      EXPECT_LT(i, sorted.size());
      return sorted[i] < target;
    });
    ASSERT_EQ(size_t(std::lower_bound(sorted.begin(), sorted.end(), target) - sorted.begin()), got)
        << "trial " << trial;
    ASSERT_LE(probes, 2 * 6 + 2u);  // at most about twice a binary search of 40
  }
}

}  // namespace
}  // namespace act::db::jet
