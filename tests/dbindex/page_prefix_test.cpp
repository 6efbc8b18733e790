// The prefix a leaf is compressed by: the longest start shared by all of its
// whole entries (key and row pointer), capped so each entry keeps a byte.
// Checked against that definition, byte by byte, on random pages whose keys
// are often prefixes of one another and often equal (where the shortcut
// through the first and last keys does not apply).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "db/jet/file/format.h"
#include "db/jet/index/index_page_writer.h"
#include "db/jet/index/index_tree.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/file/pager.h"

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

// Sorts entries as an index holds them, each once.
void InIndexOrder(std::vector<IndexEntry>& entries) {
  std::sort(entries.begin(), entries.end(),
            [](const IndexEntry& a, const IndexEntry& b) { return CompareEntries(a, b) < 0; });
  entries.erase(std::unique(entries.begin(), entries.end(),
                            [](const IndexEntry& a, const IndexEntry& b) {
                              return CompareEntries(a, b) == 0;
                            }),
                entries.end());
}

// Entries whose keys are often prefixes of one another and often equal,
// in index order; leaves mostly have a next page, so they are compressed.
// `keyed`: no empty keys (a real key has at least its flag byte, and a
// reader rejects an entry without one).
IndexPage RandomPage(std::mt19937& random, int trial, bool leaf = true, bool keyed = false) {
  IndexPage page;
  page.number = 5;
  page.leaf = leaf;
  page.prev = trial % 3 == 0 ? 0 : 4;
  page.next = trial % 7 == 0 ? 0 : 99;
  page.tail = leaf ? 0 : 77;
  const size_t count = 1 + random() % 40;
  const std::vector<uint8_t> stem = {0x7F, 0x45, 0x46, uint8_t(random() % 3)};
  for (size_t i = 0; i < count; ++i) {
    IndexEntry e;
    e.key.assign(stem.begin(), stem.begin() + random() % (stem.size() + 1));
    for (size_t extra = random() % 3; extra > 0; --extra) e.key.push_back(uint8_t(random() % 3));
    if (keyed && e.key.size() == 0) e.key.push_back(0x7F);
    e.row = {uint32_t(random() % 4), uint8_t(random() % 3)};
    if (!leaf) e.child = uint32_t(random() % 0x1000000) + 1;
    page.entries.push_back(std::move(e));
  }
  InIndexOrder(page.entries);
  return page;
}

TEST(LeafPrefix, MatchesTheDefinitionOnRandomPages) {
  std::mt19937 random(5);
  int compressed = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    IndexPage page = RandomPage(random, trial);
    ASSERT_EQ(PrefixLengthFor(page), ByDefinition(page)) << "trial " << trial;
    if (ByDefinition(page) > 0) ++compressed;
  }
  EXPECT_GT(compressed, 100);  // the cases were not all trivial
}

// A page as written holds each entry whole (key, row pointer, a node's
// child) less the prefix, one bitmap bit where each ends; read back, it
// gives the same entries and links. The prefix often reaches into the row
// pointer here, as it does on a page of equal keys.
TEST(LeafPrefix, PagesWrittenByDefinitionReadBackTheSame) {
  std::mt19937 random(11);
  const Format& format = Jet3Format();
  constexpr uint32_t kOwner = 2;
  int into_row_pointer = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    IndexPage page = RandomPage(random, trial, /*leaf=*/trial % 4 != 0, /*keyed=*/true);
    if (trial % 5 == 1) {
      // One key throughout (a genre): the entries differ in their rows only.
      for (IndexEntry& e : page.entries) e.key = page.entries.front().key;
      InIndexOrder(page.entries);
    }
    const std::vector<uint8_t> bytes = EncodeIndexPage(format, kOwner, page, "prueba.mdb");
    ASSERT_EQ(bytes.size(), format.page_size);

    const uint32_t prefix = ByDefinition(page);
    std::vector<uint8_t> area;
    std::vector<size_t> ends;
    for (size_t i = 0; i < page.entries.size(); ++i) {
      std::vector<uint8_t> whole = Whole(page.entries[i]);
      if (!page.leaf) {
        for (int shift = 24; shift >= 0; shift -= 8) {
          whole.push_back(uint8_t(page.entries[i].child >> shift));
        }
      }
      const size_t skip = i == 0 ? 0 : prefix;
      if (skip > page.entries[i].key.size()) ++into_row_pointer;
      area.insert(area.end(), whole.begin() + skip, whole.end());
      ends.push_back(area.size());
    }
    ASSERT_TRUE(std::equal(area.begin(), area.end(), bytes.begin() + format.index_first_entry))
        << "trial " << trial;
    for (size_t bit = 1; bit <= area.size(); ++bit) {
      const bool set = (bytes[format.index_bitmap + bit / 8] >> (bit % 8)) & 1;
      ASSERT_EQ(set, std::count(ends.begin(), ends.end(), bit) == 1)
          << "trial " << trial << ", bit " << bit;
    }

    std::vector<uint8_t> file(size_t(format.page_size) * 8);
    std::copy(bytes.begin(), bytes.end(), file.begin() + size_t(page.number) * format.page_size);
    Pager pager(std::make_unique<MemoryFile>(std::move(file), "prueba.mdb"));
    pager.Configure(format.page_size, 0);
    const IndexPage read = ReadIndexPage(pager, format, page.number, kOwner);
    ASSERT_EQ(read.leaf, page.leaf);
    ASSERT_EQ(read.prev, page.prev);
    ASSERT_EQ(read.next, page.next);
    ASSERT_EQ(read.tail, page.tail);
    ASSERT_EQ(read.entries.size(), page.entries.size()) << "trial " << trial;
    for (size_t i = 0; i < page.entries.size(); ++i) {
      ASSERT_TRUE(read.entries[i].key == page.entries[i].key) << "trial " << trial << " entry " << i;
      ASSERT_EQ(read.entries[i].row, page.entries[i].row) << "trial " << trial << " entry " << i;
      ASSERT_EQ(read.entries[i].child, page.entries[i].child) << "trial " << trial << " entry " << i;
    }
  }
  EXPECT_GT(into_row_pointer, 50);
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
