// Damaged copies of the sample databases: truncated files, foreign page
// types, loops in page chains, offsets outside a page, a catalog that names a
// page past the end. Each must end in an act::Error that names the file and
// the page, never in a crash, a hang or a read outside the data.
#include <gtest/gtest.h>

#include "db/errors.h"
#include "db/jet/table/database.h"
#include "db/jet/file/memory_file.h"
#include "db/jet/table/table_scan.h"
#include "tests/db/host_file.h"
#include "tests/db/read_everything.h"

namespace act::db::testing {
namespace {

constexpr size_t kPage3 = 2048;

std::vector<uint8_t> Sample(const std::string& relative) {
  return ReadHostFile(SamplePath(relative));
}

// The error text of reading everything, or "" when it read fine.
std::string Outcome(std::vector<uint8_t> bytes, int* number = nullptr) {
  try {
    ReadEverything(std::move(bytes));
  } catch (const act::Error& e) {
    if (number) *number = e.number();
    return e.what();
  }
  return "";
}

void ExpectPageError(std::vector<uint8_t> bytes, const std::string& page_text,
                     const std::string& words, int number = kJetDatabaseCorrupt) {
  int got = 0;
  std::string what = Outcome(std::move(bytes), &got);
  EXPECT_EQ(number, got) << what;
  EXPECT_NE(std::string::npos, what.find("datos.mdb: " + page_text + ": ")) << what;
  EXPECT_NE(std::string::npos, what.find(words)) << what;
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

// File offset of the Id field of the catalog row of `table`.
size_t CatalogIdOffset(const std::vector<uint8_t>& bytes, const std::string& table) {
  jet::Database db(std::make_unique<jet::MemoryFile>(bytes, "x"));
  auto objects = db.TableAt(jet::kCatalogPage);
  jet::TableScan scan(db.pager(), db.format(), *objects);
  size_t name = objects->FindColumn("Name") - objects->columns.data();
  size_t id = objects->FindColumn("Id") - objects->columns.data();
  while (scan.Next()) {
    if (scan.Get(name) == Value::Text(table)) {
      const uint8_t* field = scan.slices()[id].bytes.data();
      return scan.page().number() * kPage3 + (field - scan.page().bytes().data());
    }
  }
  ADD_FAILURE() << "no catalog row for " << table;
  return 0;
}

TEST(BadInputTest, TruncatedFiles) {
  std::vector<uint8_t> full = Sample("jet3/testV1997.mdb");
  for (size_t size : {size_t(0), size_t(100), kPage3, 2 * kPage3, 3 * kPage3 - 1}) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + size);
    int number = 0;
    std::string what = Outcome(cut, &number);
    EXPECT_EQ(kJetUnrecognizedFormat, number) << size << ": " << what;
    EXPECT_NE(std::string::npos, what.find("datos.mdb: page 0: ")) << what;
  }
  // Cut inside the data: the first page past the end is named.
  for (size_t pages = 3; pages * kPage3 < full.size(); pages += 5) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + pages * kPage3 + 17);
    std::string what = Outcome(cut);
    if (what.empty()) continue;  // everything the catalog uses lies before the cut
    EXPECT_NE(std::string::npos, what.find("past the end")) << what;
  }
}

TEST(BadInputTest, HeaderThatIsNoJetDatabase) {
  std::vector<uint8_t> bytes = Sample("jet3/testV1997.mdb");
  bytes[5] = 'X';
  ExpectPageError(bytes, "page 0", "signature", kJetUnrecognizedFormat);
  bytes = Sample("jet3/testV1997.mdb");
  bytes[0x14] = 7;
  ExpectPageError(bytes, "page 0", "version 7", kJetUnrecognizedFormat);
}

TEST(BadInputTest, WrongPageTypes) {
  std::vector<uint8_t> bytes = Sample("jet3/testV1997.mdb");
  bytes[2 * kPage3] = 0x01;  // the catalog's TDEF made a data page
  ExpectPageError(bytes, "page 2", "expected a table definition page");
  bytes = Sample("jet3/testV1997.mdb");
  bytes[18 * kPage3] = 0x04;  // the catalog's data page made an index leaf
  ExpectPageError(bytes, "page 18", "expected a data page");
  bytes = Sample("jet3/testV1997.mdb");
  bytes[33 * kPage3] = 0x01;  // Table1's primary-key leaf made a data page
  ExpectPageError(bytes, "page 33", "expected an index page");
}

TEST(BadInputTest, CyclicChains) {
  // A TDEF continuation pointing back at the first page (Table2: 34 -> 44).
  std::vector<uint8_t> bytes = Sample("jet3/testV1997.mdb");
  PutU32(bytes, 44 * kPage3 + 4, 34);
  ExpectPageError(bytes, "page 34", "loop");
  // An index node whose entries lead back to itself (root 36 of the
  // two-level index of compIndexTestV1997).
  bytes = Sample("jet3/compIndexTestV1997.mdb");
  size_t first_child = 36 * kPage3 + 248 + 5 + 4;  // key 5 bytes, pointer 4, then child
  ASSERT_EQ(37u, uint32_t(bytes[first_child + 3]));
  bytes[first_child + 3] = 36;
  ExpectPageError(bytes, "page 36", "loop");
}

TEST(BadInputTest, OffsetsOutsideThePage) {
  // A row slot pointing into the slot table of the catalog's data page.
  std::vector<uint8_t> bytes = Sample("jet3/testV1997.mdb");
  bytes[18 * kPage3 + 10] = 0x02;
  bytes[18 * kPage3 + 11] = 0x00;
  ExpectPageError(bytes, "page 18", "outside the row area");
  // A slot count larger than the page holds.
  bytes = Sample("jet3/testV1997.mdb");
  bytes[31 * kPage3 + 8] = 0xFF;
  bytes[31 * kPage3 + 9] = 0x7F;
  ExpectPageError(bytes, "page 31", "does not fit the page");
  // An index entry bitmap claiming an entry that ends before it starts.
  bytes = Sample("jet3/testV1997.mdb");
  bytes[33 * kPage3 + 22] = 0x01;
  ExpectPageError(bytes, "page 33", "index entry");
}

TEST(BadInputTest, CatalogNamingAPagePastTheEnd) {
  std::vector<uint8_t> bytes = Sample("jet3/testV1997.mdb");
  PutU32(bytes, CatalogIdOffset(bytes, "Table1"), 0x00FFFF00);
  ExpectPageError(bytes, "page 18", "past the end of the file");
}

TEST(BadInputTest, LongValueChainLoop) {
  // test2V1997 keeps a 22970-byte value in a chain of LVAL rows; point the
  // first link back at itself.
  std::vector<uint8_t> bytes = Sample("jet3/test2V1997.mdb");
  jet::Database db(std::make_unique<jet::MemoryFile>(bytes, "x"));
  auto table = db.Table("MSP_PROJECTS");
  jet::TableScan scan(db.pager(), db.format(), *table);
  ASSERT_TRUE(scan.Next());
  size_t link = 0;
  for (size_t i = 0; i < table->columns.size(); ++i) {
    auto b = scan.slices()[i].bytes;
    if (!table->columns[i].is_long_value() || b.size() < 12 || (b[3] & 0xC0) != 0) continue;
    uint32_t page = b[5] | (b[6] << 8) | (b[7] << 16);
    jet::PageRef lval = db.pager().Get(page);
    jet::Slot slot = jet::ReadSlot(*lval, db.format(), b[4]);
    link = page * kPage3 + slot.start;
    bytes[link] = b[4];  // next row = this row
    bytes[link + 1] = b[5], bytes[link + 2] = b[6], bytes[link + 3] = b[7];
    break;
  }
  ASSERT_NE(0u, link) << "no chained long value";
  std::string what = Outcome(bytes);
  EXPECT_NE(std::string::npos, what.find("long value chain loops")) << what;
}

// Every byte of the pages the catalog and Table1 live on, set to a few
// values in turn: whatever happens must be a clean result or an act::Error.
TEST(BadInputTest, ByteSweepNeverEscapesAsAnythingButActError) {
  const std::vector<uint8_t> original = Sample("jet3/testV1997.mdb");
  size_t errors = 0, clean = 0;
  for (size_t page : {2, 18, 29, 31, 33}) {
    for (size_t offset = 0; offset < kPage3; offset += 7) {
      for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(0x80)}) {
        std::vector<uint8_t> bytes = original;
        bytes[page * kPage3 + offset] = value;
        try {
          ReadEverything(std::move(bytes));
          ++clean;
        } catch (const act::Error& e) {
          ++errors;
          EXPECT_NE(std::string::npos, std::string(e.what()).find("datos.mdb: page "))
              << e.what();
        }
      }
    }
  }
  EXPECT_GT(errors, 0u);
  EXPECT_GT(clean, 0u);
}

}  // namespace
}  // namespace act::db::testing
