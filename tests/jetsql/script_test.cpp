// Scripts: many statements from standard input, their changes written in
// batches into a copy of the file, which replaces it at the end. A failure,
// or a run stopped anywhere, leaves the file as it was or holding the whole
// script; with --keep-going a failure keeps the statements before it.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "db/jet/file/pager.h"
#include "db/jet/file/working_copy.h"
#include "platform/fault/fault_file_system.h"
#include "tests/jetsql/tool_util.h"

namespace act::jetsql {
namespace {

// The check's report of a sound file is its summary line alone.
bool ChecksClean(FileSystem& fs, const std::string& path) {
  Outcome o = RunTool(fs, {path, "--check"});
  return o.status == 0 && o.out.find('\n') == o.out.size() - 1 && o.out.ends_with(": no damage\n");
}

std::string Inserts(int first, int last) {
  std::string script;
  for (int id = first; id <= last; ++id) {
    script += "INSERT INTO canciones VALUES (" + std::to_string(id) + ", 'Canción " +
              std::to_string(id * 7919 % 100003) + "', 'Intérprete " + std::to_string(id % 97) +
              "');\n";
  }
  return script;
}

class Scripts : public ::testing::Test {
 protected:
  void SetUp() override {
    Outcome made = RunTool(drive_.fs(), {"--create", path_,
                                         "CREATE TABLE canciones (id LONG PRIMARY KEY, "
                                         "titulo TEXT(100), artista TEXT(80))",
                                         "CREATE INDEX por_artista ON canciones (artista)"});
    ASSERT_EQ(made.status, 0) << made.err;
  }
  // "rows,lowest,highest" of the table, read by a scan of it.
  std::string Contents(FileSystem& fs) {
    Outcome o = RunTool(fs, {path_, "SELECT COUNT(*), MIN(id), MAX(id) FROM canciones"});
    EXPECT_EQ(o.status, 0) << o.err;
    return o.out.substr(o.out.find('\n') + 1);
  }

  testing::TempDrive drive_;
  std::string path_ = drive_.Path("\\datos.mdb");
};

TEST_F(Scripts, AFailureChangesNothingUnlessToldToKeepGoing) {
  const struct { const char* failing; const char* number; } cases[] = {
      {"INSERT INTO canciones VALUES (2, 'otra', 'x')", "error 3022"},  // a duplicate key
      {"INSERT INTO canciones VALUES (99, 'sin cerrar'", "error 3134"},
      {"UPDATE canciones SET titulo = 'x' WHERE id = 'uno'", "error 3464"},
      {"SELECT nada FROM canciones", "error 3061"},
  };
  int next = 1;
  for (bool keep_going : {false, true}) {
    for (const auto& c : cases) {
      const std::vector<uint8_t> before = drive_.fs().ReadFileBytes(path_);
      std::vector<std::string> args = {path_};
      if (keep_going) args.push_back("--keep-going");
      // The rows before the failure are read by a SELECT of the same script.
      Outcome o = RunTool(drive_.fs(), args,
                          Inserts(next, next + 9) + "SELECT COUNT(*) FROM canciones;\n" +
                              c.failing + ";\n" + Inserts(next + 10, next + 19));
      EXPECT_EQ(o.status, 1) << c.failing;
      EXPECT_NE(o.err.find(c.number), std::string::npos) << o.err;
      EXPECT_NE(o.err.find(c.failing), std::string::npos) << o.err;
      EXPECT_EQ(o.out, "Expr1000\n" + std::to_string(next + 9) + "\n");
      EXPECT_FALSE(drive_.fs().FileExists(db::jet::WorkingCopy::CopyName(path_)));
      if (keep_going) {
        const std::string kept = std::to_string(next + 9);
        EXPECT_EQ(Contents(drive_.fs()), kept + ",1," + kept + "\n") << c.failing;
        EXPECT_TRUE(ChecksClean(drive_.fs(), path_));
        next += 10;
      } else {
        EXPECT_EQ(drive_.fs().ReadFileBytes(path_), before) << c.failing;
      }
    }
  }
}

TEST_F(Scripts, AWritePastTheSizeLimitFailsWith3036BeforeTheFileGrows) {
  ASSERT_EQ(RunTool(drive_.fs(), {path_}, Inserts(1, 3000)).status, 0);
  // Jet's 524,288 pages brought down to a few more than the file holds,
  // reached by rows one at a time and by a bulk append.
  const uint32_t limit = uint32_t(drive_.fs().ReadFileBytes(path_).size() / 2048) + 24;
  db::jet::Pager::LimitPagesForTests(limit);
  const std::string scripts[] = {
      Inserts(3001, 20000),
      "CREATE TABLE copia (id LONG PRIMARY KEY, titulo TEXT(100), artista TEXT(80));\n"
      "INSERT INTO copia SELECT * FROM canciones;\n"};
  for (bool keep_going : {false, true}) {
    for (const std::string& script : scripts) {
      const std::vector<uint8_t> before = drive_.fs().ReadFileBytes(path_);
      std::vector<std::string> args = {path_};
      if (keep_going) args.push_back("--keep-going");
      Outcome o = RunTool(drive_.fs(), args, script);
      EXPECT_EQ(o.status, 1);
      EXPECT_NE(o.err.find("error 3036: Database has reached maximum size"), std::string::npos)
          << o.err;
      EXPECT_LE(drive_.fs().ReadFileBytes(path_).size(), limit * 2048u);
      if (!keep_going) {
        EXPECT_EQ(drive_.fs().ReadFileBytes(path_), before);
      }
    }
  }
  db::jet::Pager::LimitPagesForTests(0);
  EXPECT_GE(std::stoi(Contents(drive_.fs())), 3000);
  EXPECT_TRUE(ChecksClean(drive_.fs(), path_));
}

TEST_F(Scripts, ManyRowsThroughDistinctAndTop) {
  // More rows than DISTINCT and TOP hold before they first drop some.
  const int rows = 20000;
  ASSERT_EQ(RunTool(drive_.fs(), {path_}, Inserts(1, rows)).status, 0);
  Outcome o = RunTool(drive_.fs(), {path_, "SELECT DISTINCT artista FROM canciones",
                                    "SELECT DISTINCT TOP 5 artista FROM canciones",
                                    "SELECT TOP 3 id FROM canciones ORDER BY artista DESC, id DESC"});
  ASSERT_EQ(o.status, 0) << o.err;
  std::istringstream out(o.out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 1 + 97 + 1 + 5 + 1 + 3u);
  // The 97 artists once each, in order; TOP 5 of them, the first five.
  EXPECT_EQ(std::set<std::string>(lines.begin() + 1, lines.begin() + 98).size(), 97u);
  EXPECT_TRUE(std::is_sorted(lines.begin() + 1, lines.begin() + 98));
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 99, lines.begin() + 104),
            std::vector<std::string>(lines.begin() + 1, lines.begin() + 6));
  // "Intérprete 96" sorts last; its highest ids first.
  std::vector<std::string> expected;
  for (int id = rows; expected.size() < 3; --id) {
    if (id % 97 == 96) expected.push_back(std::to_string(id));
  }
  EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()), expected);
}

TEST_F(Scripts, AllOrNothingWhereverTheRunStops) {
  // Enough rows for the changes to reach the file in several batches.
  const int rows = 40000;
  const std::string script = Inserts(1, rows);
  const std::string copy = db::jet::WorkingCopy::CopyName(path_);
  const std::vector<uint8_t> empty = drive_.fs().ReadFileBytes(path_);
  FaultFileSystem counted(drive_.fs());
  ASSERT_EQ(RunTool(counted, {path_}, script).status, 0);
  EXPECT_EQ(Contents(drive_.fs()), "40000,1,40000\n");
  EXPECT_TRUE(ChecksClean(drive_.fs(), path_));
  EXPECT_FALSE(drive_.fs().FileExists(copy));
  // Every write goes to the copy; the copy is synced before it replaces
  // the file, and that is the last change.
  std::vector<uint64_t> writes, stops;
  for (size_t i = 0; i < counted.log().size(); ++i) {
    const auto& op = counted.log()[i];
    if (op.name == "WriteAt") {
      EXPECT_EQ(op.path, copy);
      writes.push_back(i + 1);
    }
    if (op.name == "Sync" || op.name.starts_with("ReplaceFile") || op.name == "CopyFile") {
      stops.push_back(i + 1);
    }
  }
  ASSERT_GT(writes.size(), 3u);
  ASSERT_GE(stops.size(), 3u);
  const uint64_t replaced = stops[stops.size() - 2];
  ASSERT_EQ(counted.log()[replaced - 1].name, "ReplaceFile");
  EXPECT_EQ(counted.log()[replaced - 2].name, "Sync");
  EXPECT_LT(writes.back(), replaced);
  stops.insert(stops.end(), {writes[writes.size() / 8], writes[writes.size() / 2], writes.back()});

  // Stopped dead, and cut off with what had not reached the disk lost, at
  // the copy, at writes early on, half-way and last, at each sync, and at
  // the replacement and its sync: the file is the one before or the one
  // after, whole; the next run that writes clears what the stop left.
  std::set<bool> whole_after;  // both outcomes are met
  for (uint64_t stop : stops) {
    for (bool power_cut : {false, true}) {
      drive_.fs().WriteFileBytes(path_, empty);
      FaultFileSystem fs(drive_.fs());
      fs.StopAt(stop);
      EXPECT_THROW(RunTool(fs, {path_}, script), StoppedDead);
      if (power_cut) fs.DropUnsyncedData();
      const std::string where = "stopped at operation " + std::to_string(stop) + " (" +
                                counted.log()[stop - 1].name + ")" + (power_cut ? ", cut" : "");
      whole_after.insert(drive_.fs().ReadFileBytes(path_) != empty);
      if (drive_.fs().ReadFileBytes(path_) != empty) {
        EXPECT_EQ(Contents(drive_.fs()), "40000,1,40000\n") << where;
        EXPECT_TRUE(ChecksClean(drive_.fs(), path_)) << where;
        continue;
      }
      Outcome again = RunTool(drive_.fs(), {path_}, Inserts(1, 10));
      EXPECT_EQ(again.status, 0) << where << ": " << again.err;
      EXPECT_EQ(Contents(drive_.fs()), "10,1,10\n") << where;
      EXPECT_FALSE(drive_.fs().FileExists(copy)) << where;
    }
  }
  EXPECT_EQ(whole_after.size(), 2u);
}

}  // namespace
}  // namespace act::jetsql
