// The profile functions' contract as the update engine relies on it, on the
// backend of this build (our own code natively, kernel32 under Wine).
#include <gtest/gtest.h>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "tests/support/temp_drive.h"

namespace act {
namespace {

using testing::TempDrive;

class ProfileStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { store_ = NewPlatformProfileStore(drive_.fs()); }
  std::string P(const std::string& relative) { return drive_.Path(relative); }

  TempDrive drive_;
  std::unique_ptr<ProfileStore> store_;
};

TEST_F(ProfileStoreTest, MissingFileReadsEmptyAndIsNotCreated) {
  EXPECT_EQ(store_->Read("General", "minimo", P("\\actualizador.ini")), "");
  EXPECT_FALSE(drive_.fs().FileExists(P("\\actualizador.ini")));
}

TEST_F(ProfileStoreTest, NamesMatchWithoutCaseAndValuesLoseBlanksAndQuotes) {
  drive_.WriteText("\\c.ini", "[General]\r\nMinimo = 1.0.0.5 \r\nruta=\"c:\\zentaroDeck\"\r\n");
  EXPECT_EQ(store_->Read("GENERAL", "minimo", P("\\c.ini")), "1.0.0.5");
  EXPECT_EQ(store_->Read("general", "RUTA", P("\\C.INI")), "c:\\zentaroDeck");
  EXPECT_EQ(store_->Read("General", "none", P("\\c.ini")), "");
  EXPECT_EQ(store_->Read("Other", "minimo", P("\\c.ini")), "");
}

TEST_F(ProfileStoreTest, LongValuesComeBackCutTo254) {
  std::string long_value(300, 'x');
  long_value[253] = 'y';
  drive_.WriteText("\\c.ini", "[s]\r\nk=" + long_value + "\r\n");
  std::string read = store_->Read("s", "k", P("\\c.ini"));
  EXPECT_EQ(read.size(), 254u);
  EXPECT_EQ(read.back(), 'y');
}

TEST_F(ProfileStoreTest, WriteAddsMissingKeysAndSections) {
  drive_.WriteText("\\c.ini", "[a]\r\nx=1\r\n[b]\r\ny=2\r\n");
  EXPECT_TRUE(store_->Write("a", "z", "3", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("new", "w", "4", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("b", "y", "5", P("\\c.ini")));
  EXPECT_EQ(store_->Read("a", "z", P("\\c.ini")), "3");
  EXPECT_EQ(store_->Read("new", "w", P("\\c.ini")), "4");
  EXPECT_EQ(store_->Read("b", "y", P("\\c.ini")), "5");
  EXPECT_EQ(store_->Read("a", "x", P("\\c.ini")), "1");
  store_->Flush();
  std::string text = drive_.ReadText("\\c.ini");
  EXPECT_LT(text.find("z=3"), text.find("[b]"));    // in its own section
  EXPECT_GT(text.find("[new]"), text.find("y=5"));  // the new section at the end
}

TEST_F(ProfileStoreTest, WriteCreatesAMissingFileButNotAMissingFolder) {
  EXPECT_TRUE(store_->Write("s", "k", "v", P("\\new.ini")));
  EXPECT_EQ(store_->Read("s", "k", P("\\new.ini")), "v");
  EXPECT_FALSE(store_->Write("s", "k", "v", P("\\nofolder\\new.ini")));
  EXPECT_FALSE(drive_.fs().FolderExists(P("\\nofolder")));
}

TEST_F(ProfileStoreTest, ReadOnlyFileRefusesWritesAndStaysAsItWas) {
  const std::string original = "[s]\nk = old\n";
  drive_.WriteText("\\c.ini", original);
  drive_.fs().SetAttributes(P("\\c.ini"), kAttrReadOnly);
  EXPECT_FALSE(store_->Write("s", "k", "new", P("\\c.ini")));
  EXPECT_FALSE(store_->Write("t", "k", "new", P("\\c.ini")));
  EXPECT_EQ(drive_.ReadText("\\c.ini"), original);
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "old");
}

TEST_F(ProfileStoreTest, AccentedTextIsWindows1252InTheFile) {
  EXPECT_TRUE(store_->Write("Música", "Año", "Canción €", P("\\c.ini")));
  EXPECT_EQ(store_->Read("MúSICA", "Año", P("\\c.ini")), "Canción €");
  store_->Flush();
  EXPECT_NE(drive_.ReadText("\\c.ini").find("A\xF1o=Canci\xF3n \x80"), std::string::npos);
  // A character Windows-1252 cannot hold arrives as '?'.
  EXPECT_TRUE(store_->Write("s", "k", "Ω", P("\\c.ini")));
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "?");
}

// Writes may wait in the store (natively they do; kernel32 under Wine
// writes at once) until Flush puts them into their files.
using ProfileFlushTest = ProfileStoreTest;

TEST_F(ProfileFlushTest, PendingWritesAreReadBackAndReachTheFileAtFlush) {
  const std::string original = "; ajustes\r\n[a]\r\nx = 1\r\n\r\n[b]\r\ny=2\r\n";
  drive_.WriteText("\\c.ini", original);
  EXPECT_TRUE(store_->Write("a", "x", "uno", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("A", "z", "3", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("nueva", "w", "4", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("a", "x", "dos", P("\\c.ini")));
  EXPECT_TRUE(store_->Write("b", "v", "línea", P("\\c.ini")));
  EXPECT_EQ(store_->Read("a", "x", P("\\c.ini")), "dos");
  EXPECT_EQ(store_->Read("a", "z", P("\\c.ini")), "3");
  EXPECT_EQ(store_->Read("NUEVA", "w", P("\\c.ini")), "4");
  EXPECT_EQ(store_->Read("b", "y", P("\\c.ini")), "2");
  EXPECT_EQ(store_->Read("b", "v", P("\\c.ini")), "línea");
#ifndef _WIN32
  EXPECT_EQ(drive_.ReadText("\\c.ini"), original);
#endif
  store_->Flush();
  EXPECT_EQ(drive_.ReadText("\\c.ini"),
            "; ajustes\r\n[a]\r\nx=dos\r\nz=3\r\n[b]\r\ny=2\r\nv=l\xEDnea\r\n"
            "[nueva]\r\nw=4\r\n");
  EXPECT_EQ(store_->Read("a", "x", P("\\c.ini")), "dos");
}

TEST_F(ProfileFlushTest, FlushSavesEveryFileWritten) {
  // More files written than the store keeps parsed at a time, and others
  // read in between.
  auto file = [&](char kind, int i) { return "\\" + std::string(1, kind) + std::to_string(i) + ".ini"; };
  for (int i = 0; i < 8; ++i) {
    drive_.WriteText(file('w', i), "[s]\r\nk=0\r\n");
    drive_.WriteText(file('r', i), "[s]\r\nk=r\r\n");
  }
  for (int round = 1; round <= 2; ++round) {
    for (int i = 0; i < 8; ++i) {
      EXPECT_TRUE(store_->Write("s", "k", std::to_string(round * 10 + i), P(file('w', i))));
      EXPECT_EQ(store_->Read("s", "k", P(file('r', i))), "r");
    }
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(store_->Read("s", "k", P(file('w', i))), std::to_string(round * 10 + i));
    }
  }
  store_->Flush();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(drive_.ReadText(file('w', i)), "[s]\r\nk=" + std::to_string(20 + i) + "\r\n");
  }
}

TEST_F(ProfileFlushTest, NothingChangedNothingWritten) {
  const std::string original = "[s]\nk = v\n";
  drive_.WriteText("\\c.ini", original);
  FileStamp before = drive_.fs().GetFileStamp(P("\\c.ini"));
  store_->Flush();  // nothing written yet
  EXPECT_EQ(store_->Read("s", "k", P("\\c.ini")), "v");
  EXPECT_TRUE(store_->Write("s", "k", "v", P("\\c.ini")));  // the value it has
  store_->Flush();
  EXPECT_EQ(drive_.ReadText("\\c.ini"), original);
  FileStamp after = drive_.fs().GetFileStamp(P("\\c.ini"));
  EXPECT_EQ(after.modified, before.modified);
  EXPECT_EQ(after.file_id, before.file_id);
}

TEST_F(ProfileFlushTest, StoreDroppedWithoutFlushStillSavesItsWrites) {
  drive_.WriteText("\\c.ini", "[s]\r\nk=0\r\n");
  EXPECT_TRUE(store_->Write("s", "k", "1", P("\\c.ini")));
  store_.reset();
  EXPECT_EQ(drive_.ReadText("\\c.ini"), "[s]\r\nk=1\r\n");
}

#ifndef _WIN32
// kernel32 writes at once, so there a failure is the write's own result;
// ours is heard at Flush, with the error the write would have met.
TEST_F(ProfileFlushTest, FileThatCannotBeSavedFailsTheFlushAndTheOthersAreSaved) {
  drive_.WriteText("\\a.ini", "[s]\r\nk=0\r\n");
  drive_.WriteText("\\b.ini", "[s]\r\nk=0\r\n");
  EXPECT_TRUE(store_->Write("s", "k", "1", P("\\a.ini")));
  EXPECT_TRUE(store_->Write("s", "k", "1", P("\\b.ini")));
  drive_.fs().SetAttributes(P("\\a.ini"), kAttrReadOnly);
  int number = 0;
  std::string what;
  try {
    drive_.fs().WriteFileBytes(P("\\a.ini"), {'x'});
  } catch (const Error& e) {
    number = e.number(), what = e.what();
  }
  ASSERT_NE(number, 0);
  try {
    store_->Flush();
    ADD_FAILURE() << "the flush reported no failure";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), number);
    EXPECT_EQ(std::string(e.what()), what);
  }
  EXPECT_EQ(drive_.ReadText("\\a.ini"), "[s]\r\nk=0\r\n");
  EXPECT_EQ(drive_.ReadText("\\b.ini"), "[s]\r\nk=1\r\n");
  // The lost write no longer answers; the file does, and nothing is left
  // to save.
  EXPECT_EQ(store_->Read("s", "k", P("\\a.ini")), "0");
  store_->Flush();
}
#endif

TEST(Cp1252Test, ConvertsAsWindowsDoes) {
  EXPECT_EQ(Cp1252ToUtf8("\x80\xE1\xF1\x9F"), "€áñŸ");
  EXPECT_EQ(Utf8ToCp1252("€áñŸ"), "\x80\xE1\xF1\x9F");
  // The five bytes without a character map to the C1 controls and back.
  EXPECT_EQ(Cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(Utf8ToCp1252("\xC2\x81\xC2\x9D"), "\x81\x9D");
  EXPECT_EQ(Utf8ToCp1252("Ω中"), "??");
  EXPECT_EQ(Utf8ToCp1252("\xFF\xC3"), "??");  // broken UTF-8
  for (int b = 1; b < 256; ++b) {
    std::string one(1, static_cast<char>(b));
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(one)), one) << b;
  }
  EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16("Año 😀")), "Año 😀");
}

}  // namespace
}  // namespace act
