// The passes of a bulk append (TableWriter::BeginBulk) over the rows of an
// INSERT ... SELECT, each through RunPipelined:
//
// - The rows are written first on the assumption that the keys of every
//   unique index come in strictly ascending order, above those its tree
//   holds (a counter copied over, the common case): no key can then meet
//   another, and nothing needs counting beforehand.
// - When a key comes out of that order, before its row is written
//   (TableIndexes throws KeysOutOfOrder), the rows written so far go into
//   the trees, and the rest of the rows are counted (the census pass) and
//   then written with the lookups the census asks for.
//
// The statement supplies its stages: `rewind` starts the rows over from the
// first, `fill`, `prepare` and `commit` as for RunPipelined, `census` counts
// a prepared row (while `counting` is true, `prepare` may prepare only what
// the census needs) and returns false when the census cannot decide, and
// `flush` hands the writer's changes to the file.
#pragma once

#include <cstddef>
#include <functional>

#include "db/exec/row_pipeline.h"
#include "db/jet/index/table_indexes.h"
#include "db/jet/write/table_writer.h"
#include "platform/file_system.h"

namespace act::db::exec {

template <class Row, class Rewind, class Fill, class Prepare, class Commit, class Census>
void AppendInBulk(jet::TableWriter& writer, FileSystem& fs, size_t batch_rows, bool& counting,
                  Rewind&& rewind, Fill&& fill, Prepare&& prepare, Commit&& commit,
                  Census&& census, const std::function<void()>& flush, size_t flush_pages) {
  // A flush part-way through leaves rows in the file that its trees do
  // not list yet: whatever ends the statement, the rows written so far go
  // into the trees and the file before the failure goes on up, so that the
  // file lists every row it holds (as far as the file still takes writes).
  try {
    size_t done = 0;  // rows committed (written or refused)
    auto counted_commit = [&](Row& r) {
      commit(r);
      ++done;
    };
    if (writer.census_wanted()) {
      writer.AssumeOrdered();
      try {
        RunPipelined<Row>(batch_rows, fill, prepare, counted_commit);
        writer.EndBulk(flush, flush_pages);
        return;
      } catch (const jet::KeysOutOfOrder&) {
      }
      writer.EndBulk(flush, flush_pages);
      // The rows from the one that broke the order on, counted first.
      auto from_there = [&fill, skip = size_t(0), done](Row& r) mutable {
        for (; skip < done; ++skip) {
          if (!fill(r)) return false;
        }
        return fill(r);
      };
      if (writer.BeginBulk(fs)) {
        bool counted = true;
        auto count = [&](Row& r) {
          if (counted) counted = census(r);
        };
        rewind();
        counting = true;
        auto skipping = from_there;
        RunPipelined<Row>(batch_rows, skipping, prepare, count);
        counting = false;
        if (!counted || !writer.EndCensus()) writer.CancelBulk();
      }
      rewind();
      RunPipelined<Row>(batch_rows, from_there, prepare, counted_commit);
    } else {
      RunPipelined<Row>(batch_rows, fill, prepare, counted_commit);
    }
    if (writer.in_bulk()) writer.EndBulk(flush, flush_pages);
  } catch (...) {
    if (writer.in_bulk()) {
      try {
        writer.EndBulk(flush, flush_pages);
        flush();
      } catch (...) {
      }
    }
    throw;
  }
}

}  // namespace act::db::exec
