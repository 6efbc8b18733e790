// The pager: the only layer that touches the database file.
//
// It reads whole pages through act::RandomAccessFile, unscrambles them when
// the database has a key, and keeps a bounded number of them in an LRU
// cache, so that scanning a table of any size holds a fixed amount of
// memory. Page numbers are checked against the file's length here; every
// layer above asks for pages by number and gets either a whole page or a
// "file: page n: ..." error.
//
// The writer builds on this class: it writes whole pages through Write()
// (which also refreshes the cached copy) and grows the file with Append().
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/errors.h"
#include "db/jet/file/page.h"
#include "platform/file_system.h"

namespace act::db::jet {

class Pager {
 public:
  static constexpr size_t kDefaultCachePages = 64;
  // The most pages a Jet file holds: 524,288 pages, 1 GB of Jet 3's 2 KB
  // pages (Access 97's limit) and 2 GB of Jet 4's 4 KB ones. Jet's own
  // lock addresses reach no page beyond; Access will not open a larger file.
  static constexpr uint32_t kMaxPages = 524288;
  // A lower bound for every pager of the process, so that tests reach the
  // limit with a small file; 0 puts kMaxPages back.
  static void LimitPagesForTests(uint32_t pages);

  Pager(std::unique_ptr<RandomAccessFile> file, size_t max_cached_pages = kDefaultCachePages);

  // Called once the header is read: the page size and the database key
  // (0 = pages stored in clear).
  void Configure(uint32_t page_size, uint32_t database_key);

  // Reads n bytes at offset without page structure (the header). Fails with
  // 3343 when the file is shorter.
  std::vector<uint8_t> ReadHeaderBytes(size_t n);

  // Page `number`; fails when it lies past the end of the file.
  PageRef Get(uint32_t number);

  // Reads up to `count` neighbouring pages from `first` into the cache with
  // one read of the file, stopping at a page already held (cached or
  // waiting for a flush) and at half the cache. A scan calls it for each
  // run of neighbouring pages, so the file sees one read per run rather
  // than one per page. A read that comes back short is left for Get() to
  // report.
  void ReadAhead(uint32_t first, uint32_t count);

  // Replaces page `number` (a whole page) in the file and the cache; number
  // may be page_count() to extend the file by one page, unless the file
  // holds the most pages it may (kMaxPages): that fails with 3036, before
  // anything reaches the file. Between
  // BeginDeferredWrites() and FlushWrites() the page is only held in memory
  // (Get() returns it) and reaches the file at the flush; `order` then says
  // when (see FlushWrites).
  void Write(uint32_t number, std::vector<uint8_t> bytes, int order = 0);

  // Changes one byte of a page waiting for the flush, in place, when nothing
  // outside the pager holds that page (no reader sees it change); `order`
  // as for Write. False when the page is not waiting or is held: the caller
  // then writes the page whole.
  bool SetPendingByte(uint32_t number, size_t offset, uint8_t value, int order);

  // Deferred writes let a statement change the same pages many times while
  // the file sees each page once. FlushWrites() writes, in this order: the
  // pages appended past the file's end (nothing in the file points at them
  // yet), then the others by ascending `order`, so that a writer can put
  // pages that are pointed at before the pages that point at them; then it
  // syncs the file. A flush that fails part-way leaves the file as a reader
  // expects it at some point of that order.
  void BeginDeferredWrites();
  // `sync` false leaves the durability to a later flush: a statement that
  // flushes part-way only to bound its memory needs the order of the
  // writes (what a killed process leaves), not a sync per batch, and the
  // file is useless after a power loss part-way through the statement
  // either way.
  void FlushWrites(bool sync = true);
  // The order a page waiting for the flush was last written with, or -1
  // when it is not waiting.
  int PendingOrder(uint32_t number) const {
    auto it = pending_.find(number);
    return it == pending_.end() ? -1 : it->second.order;
  }
  // Continues on `file` (the same file opened anew, e.g. for writing once a
  // statement needs to write); cache and pending pages are kept.
  void ReplaceFile(std::unique_ptr<RandomAccessFile> file) { file_ = std::move(file); }

  // Forgets the pages not yet flushed (a statement that failed part-way):
  // the file keeps what the last flush wrote.
  void DiscardWrites();
  // Pages waiting for FlushWrites() (the writer flushes early past a bound).
  size_t pending_writes() const { return pending_.size(); }

  uint32_t page_count() const { return page_count_; }
  uint32_t page_size() const { return page_size_; }
  const std::string& path() const { return *path_; }
  RandomAccessFile& file() { return *file_; }

  // Cache figures, for the benchmark and tests.
  size_t peak_cached_pages() const { return peak_cached_; }
  uint64_t page_reads() const { return reads_; }

 private:
  void Scramble(uint32_t number, std::span<uint8_t> bytes) const;
  void Remember(PageRef page);

  void WriteThrough(uint32_t number, const std::vector<uint8_t>& bytes);

  struct Pending {
    int order = 0;
    PageRef page;
  };
  bool deferred_ = false;
  uint32_t file_pages_ = 0;  // pages in the file itself while writes are deferred
  std::map<uint32_t, Pending> pending_;

  std::unique_ptr<RandomAccessFile> file_;
  std::shared_ptr<const std::string> path_;
  size_t max_cached_;
  uint32_t page_size_ = 0;
  uint32_t database_key_ = 0;
  uint32_t page_count_ = 0;
  // Most recently used first.
  std::list<PageRef> lru_;
  std::unordered_map<uint32_t, std::list<PageRef>::iterator> index_;
  size_t peak_cached_ = 0;
  uint64_t reads_ = 0;
};

}  // namespace act::db::jet
