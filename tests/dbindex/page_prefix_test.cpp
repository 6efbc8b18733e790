// The prefix a leaf is compressed by: the longest start shared by all of its
// whole entries (key and row pointer), capped so each entry keeps a byte.
// Checked against that definition, byte by byte, on random pages whose keys
// are often prefixes of one another and often equal (where the shortcut
// through the first and last keys does not apply).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "db/jet/format.h"
#include "db/jet/index_page_writer.h"
#include "db/jet/index_tree.h"

namespace act::db::jet {
namespace {

std::vector<uint8_t> Whole(const IndexEntry& e) {
  std::vector<uint8_t> out(e.key.begin(), e.key.end());
  out.push_back(uint8_t(e.row.page >> 16));
  out.push_back(uint8_t(e.row.page >> 8));
  out.push_back(uint8_t(e.row.page));
  out.push_back(e.row.row);
  return out;
}

uint32_t ByDefinition(const IndexPage& page) {
  if (!page.leaf || page.next == 0 || page.entries.size() < 2) return 0;
  std::vector<uint8_t> first = Whole(page.entries.front());
  size_t common = first.size(), shortest = first.size();
  for (const IndexEntry& e : page.entries) {
    std::vector<uint8_t> w = Whole(e);
    size_t n = 0;
    while (n < common && n < w.size() && w[n] == first[n]) ++n;
    common = n;
    shortest = std::min(shortest, w.size());
  }
  return uint32_t(std::min({common, shortest - 1, size_t(255)}));
}

TEST(LeafPrefix, MatchesTheDefinitionOnRandomPages) {
  std::mt19937 random(5);
  int compressed = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    IndexPage page;
    page.leaf = true;
    page.next = trial % 7 == 0 ? 0 : 99;
    const size_t count = 1 + random() % 40;
    const std::vector<uint8_t> stem = {0x7F, 0x45, 0x46, uint8_t(random() % 3)};
    for (size_t i = 0; i < count; ++i) {
      IndexEntry e;
      e.key.assign(stem.begin(), stem.begin() + random() % (stem.size() + 1));
      for (size_t extra = random() % 3; extra > 0; --extra) e.key.push_back(uint8_t(random() % 3));
      e.row = {uint32_t(random() % 4), uint8_t(random() % 3)};
      page.entries.push_back(std::move(e));
    }
    std::sort(page.entries.begin(), page.entries.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
    page.entries.erase(std::unique(page.entries.begin(), page.entries.end(),
                                   [](const IndexEntry& a, const IndexEntry& b) {
                                     return CompareEntries(a, b) == 0;
                                   }),
                       page.entries.end());
    ASSERT_EQ(PrefixLengthFor(page), ByDefinition(page)) << "trial " << trial;
    if (ByDefinition(page) > 0) ++compressed;
  }
  EXPECT_GT(compressed, 100);  // the cases were not all trivial
}

// The figures a writer keeps for a leaf while it inserts strictly inside it
// give the same answer as working the page out whole. Entries here are long
// enough that whether a page fits depends on its prefix.
TEST(LeafPrefix, KeptFiguresDecideTheFitAsTheWholePageDoes) {
  std::mt19937 random(9);
  const Format& format = Jet3Format();
  int decided = 0, fitting = 0, not_fitting = 0;
  for (int trial = 0; trial < 2000; ++trial) {
    IndexPage page;
    page.leaf = true;
    page.next = trial % 5 == 0 ? 0 : 42;
    const size_t count = 40 + random() % 60;
    std::vector<uint8_t> stem(random() % 30, 0x61);
    for (size_t i = 0; i < count; ++i) {
      IndexEntry e;
      e.key.assign(stem.begin(), stem.end());
      for (size_t extra = 3 + random() % 6; extra > 0; --extra) {
        e.key.push_back(uint8_t(0x40 + random() % 30));
      }
      e.row = {uint32_t(random() % 100000), uint8_t(random() % 40)};
      page.entries.push_back(std::move(e));
    }
    std::sort(page.entries.begin(), page.entries.end(),
              [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
    LeafFigures figures = FiguresOf(page);
    if (!figures.stable_common) continue;
    ++decided;
    const bool fits = IndexPageFits(format, page);
    (fits ? fitting : not_fitting)++;
    ASSERT_EQ(LeafFits(format, figures, page.entries.size(), page.next != 0), fits)
        << "trial " << trial;
  }
  EXPECT_GT(fitting, 100);
  EXPECT_GT(not_fitting, 100);
  EXPECT_GT(decided, 1000);
}

}  // namespace
}  // namespace act::db::jet
