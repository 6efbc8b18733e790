// The pager's batching: neighbouring pages read and written with one call
// of the file each, and single bytes of waiting pages changed in place.
// What matters is that the bytes are the same as page by page, a database
// key included, and that no page a caller holds changes under it.
#include <gtest/gtest.h>

#include <memory>

#include "db/jet/file/memory_file.h"
#include "db/jet/file/pager.h"

namespace act::db::testing {
namespace {

constexpr uint32_t kPageSize = 2048;

// A MemoryFile that counts the calls made on it.
class CountingFile : public jet::MemoryFile {
 public:
  using MemoryFile::MemoryFile;
  size_t ReadAt(uint64_t offset, void* buffer, size_t n) override {
    ++reads;
    return MemoryFile::ReadAt(offset, buffer, n);
  }
  void WriteAt(uint64_t offset, const void* data, size_t n) override {
    ++writes;
    MemoryFile::WriteAt(offset, data, n);
  }
  int reads = 0;
  int writes = 0;
};

std::vector<uint8_t> PageOf(uint32_t number, uint8_t salt) {
  std::vector<uint8_t> bytes(kPageSize);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(number * 31 + i * 7 + salt);
  return bytes;
}

struct Opened {
  CountingFile* file;
  std::unique_ptr<jet::Pager> pager;
};

Opened Open(std::vector<uint8_t> bytes, uint32_t key) {
  auto file = std::make_unique<CountingFile>(std::move(bytes), "prueba.mdb");
  CountingFile* raw = file.get();
  auto pager = std::make_unique<jet::Pager>(std::move(file));
  pager->Configure(kPageSize, key);
  return {raw, std::move(pager)};
}

TEST(Pager, FlushWritesNeighbouringPagesTogetherAndAsPageByPage) {
  for (uint32_t key : {0u, 0x6B39DAC7u}) {
    SCOPED_TRACE("database key " + std::to_string(key));
    // The same changes flushed by a batching pager and written through one
    // page at a time must leave the same file.
    Opened batched = Open(std::vector<uint8_t>(10 * kPageSize, 0), key);
    Opened single = Open(std::vector<uint8_t>(10 * kPageSize, 0), key);
    batched.pager->BeginDeferredWrites();
    // Runs 2-5 and 7-8 of old pages, then pages 10-79 appended; orders mixed
    // so that one run of numbers is split by the order.
    std::vector<uint32_t> pages = {2, 3, 4, 5, 7, 8};
    for (uint32_t n = 10; n < 80; ++n) pages.push_back(n);
    for (uint32_t n : pages) {
      batched.pager->Write(n, PageOf(n, 1), n == 4 ? 3 : 0);
      single.pager->Write(n, PageOf(n, 1));
    }
    batched.pager->FlushWrites();
    EXPECT_EQ(batched.file->bytes(), single.file->bytes());
    // 70 appended pages in runs of at most 32, and the old ones in four
    // runs: 2-3, 5, 7-8 (order 0), then 4 (order 3).
    EXPECT_EQ(batched.file->writes, 3 + 4);
    EXPECT_EQ(single.file->writes, int(pages.size()));
  }
}

TEST(Pager, ReadAheadReadsARunOnceAndGetThenReadsNothing) {
  std::vector<uint8_t> bytes;
  for (uint32_t n = 0; n < 40; ++n) {
    auto page = PageOf(n, 9);
    bytes.insert(bytes.end(), page.begin(), page.end());
  }
  Opened opened = Open(bytes, 0);
  jet::Pager& pager = *opened.pager;
  pager.Get(5);  // already cached: ends the run before it
  const int reads_before = opened.file->reads;
  pager.ReadAhead(1, 10);
  EXPECT_EQ(opened.file->reads, reads_before + 1);
  for (uint32_t n = 1; n < 5; ++n) EXPECT_EQ(pager.Get(n)->bytes(), PageOf(n, 9));
  EXPECT_EQ(opened.file->reads, reads_before + 1);
  // Page 6 was not part of the run.
  EXPECT_EQ(pager.Get(6)->bytes(), PageOf(6, 9));
  EXPECT_EQ(opened.file->reads, reads_before + 2);
  // Past the end of the file: whatever there is, and no failure.
  pager.ReadAhead(38, 10);
  EXPECT_EQ(pager.Get(39)->bytes(), PageOf(39, 9));
  EXPECT_THROW(pager.Get(40), act::Error);
}

TEST(Pager, SetPendingByteChangesOnlyPagesNobodyElseHolds) {
  Opened opened = Open(std::vector<uint8_t>(4 * kPageSize, 0), 0);
  jet::Pager& pager = *opened.pager;
  // Not waiting for a flush: refused.
  EXPECT_FALSE(pager.SetPendingByte(1, 10, 0xAB, 0));
  pager.BeginDeferredWrites();
  pager.Write(1, PageOf(1, 2));
  {
    jet::PageRef held = pager.Get(1);
    EXPECT_FALSE(pager.SetPendingByte(1, 10, 0xAB, 0));
    EXPECT_EQ(held->bytes(), PageOf(1, 2));  // what a caller holds never changes
  }
  EXPECT_TRUE(pager.SetPendingByte(1, 10, 0xAB, 0));
  EXPECT_FALSE(pager.SetPendingByte(1, kPageSize, 0xAB, 0));  // past the page
  std::vector<uint8_t> expected = PageOf(1, 2);
  expected[10] = 0xAB;
  EXPECT_EQ(pager.Get(1)->bytes(), expected);
  pager.FlushWrites();
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(),
                         opened.file->bytes().begin() + kPageSize));
}

}  // namespace
}  // namespace act::db::testing
