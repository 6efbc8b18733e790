// The small rules the run is built from: manifest counts, version texts,
// the target drive, and when a package would be its own staging folder.
#include <gtest/gtest.h>

#include <clocale>

#include "engine/manifest_count.h"
#include "engine/run_paths.h"
#include "engine/version_gate.h"
#include "platform/error.h"

namespace act {
namespace {

int16_t Count(const char* text) { return ToCount(text, "test"); }

TEST(ManifestCount, ReadsTheLeadingNumberLikeVal) {
  EXPECT_EQ(Count("12"), 12);
  EXPECT_EQ(Count(""), 0);
  EXPECT_EQ(Count("abc"), 0);
  EXPECT_EQ(Count("7 secciones"), 7);
  EXPECT_EQ(Count("1 2"), 12);
  EXPECT_EQ(Count("  \t-3"), -3);
  EXPECT_EQ(Count("+4"), 4);
  EXPECT_EQ(Count("5x6"), 5);
  EXPECT_EQ(Count(".6"), 1);
  EXPECT_EQ(Count("1e3"), 1000);
  EXPECT_EQ(Count("2D2"), 200);
  EXPECT_EQ(Count("3e"), 3);
  EXPECT_EQ(Count("&H10"), 16);
  EXPECT_EQ(Count("&HFFFF"), -1);
  EXPECT_EQ(Count("&O17"), 15);
  EXPECT_EQ(Count("-"), 0);
}

TEST(ManifestCount, RoundsHalvesToEven) {
  EXPECT_EQ(Count("2.5"), 2);
  EXPECT_EQ(Count("3.5"), 4);
  EXPECT_EQ(Count("0.5"), 0);
  EXPECT_EQ(Count("-2.5"), -2);
  EXPECT_EQ(Count("2.51"), 3);
  EXPECT_EQ(Count("32767.4"), 32767);
  EXPECT_EQ(Count("-32768.5"), -32768);
}

TEST(ManifestCount, FullStopIsTheDecimalPointWhateverTheLocale) {
  // A comma locale must not turn "2.5" into 25 or 2 (scripts/install-deps.sh
  // makes es_ES.UTF-8; Windows has Spanish_Spain.1252).
  const char* old = std::setlocale(LC_ALL, nullptr);
  std::string saved = old ? old : "C";
  ASSERT_TRUE(std::setlocale(LC_ALL, "es_ES.UTF-8") || std::setlocale(LC_ALL, "de_DE.UTF-8") ||
              std::setlocale(LC_ALL, "Spanish_Spain.1252"))
      << "no locale with a decimal comma: scripts/install-deps.sh makes es_ES.UTF-8";
  EXPECT_EQ(Count("3.5"), 4);
  EXPECT_EQ(Count("3,5"), 3);
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(ManifestCount, OutsideSixteenBitsIsOverflowNamingTheKey) {
  for (const char* text : {"32768", "32767.5", "-32769", "1e10", "1e999", "&H10000"}) {
    try {
      ToCount(text, "[SECCIONES] secciones of c:\\x.ini");
      ADD_FAILURE() << text << " did not overflow";
    } catch (const Error& e) {
      EXPECT_EQ(e.number(), kErrOverflow) << text;
      EXPECT_NE(std::string(e.what()).find("secciones of c:\\x.ini"), std::string::npos);
    }
  }
}

TEST(ManifestCount, LoopRunsOneToCountAndOverflowsPast32767) {
  std::vector<int> seen;
  ForEachEntry(3, "t", [&](int i) { seen.push_back(i); });
  EXPECT_EQ(seen, (std::vector<int>{1, 2, 3}));
  seen.clear();
  ForEachEntry(0, "t", [&](int i) { seen.push_back(i); });
  ForEachEntry(-5, "t", [&](int i) { seen.push_back(i); });
  EXPECT_TRUE(seen.empty());

  int runs = 0, last = 0;
  try {
    ForEachEntry(32767, "t", [&](int i) { ++runs, last = i; });
    ADD_FAILURE() << "no overflow";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrOverflow);
  }
  EXPECT_EQ(runs, 32767);
  EXPECT_EQ(last, 32767);
}

TEST(VersionGate, ComparesVersionsAsTexts) {
  EXPECT_GT(CompareVersionTexts("1.9", "1.10"), 0);
  EXPECT_LT(CompareVersionTexts("1.10", "1.9"), 0);
  EXPECT_LT(CompareVersionTexts("1.2", "1.2.0"), 0);  // a prefix is lower
  EXPECT_LT(CompareVersionTexts("A", "a"), 0);        // case counts
  EXPECT_LT(CompareVersionTexts("", "0"), 0);
}

TEST(VersionGate, RefusesInItsOrderWithItsMessages) {
  EXPECT_EQ(VersionGateRefusal("2.0", "3.0", "2.5"),
            "Advertencia!: La Versión actual:2.0 No se puede actualizar");
  // The minimum check comes first, even when the versions are also equal.
  EXPECT_EQ(VersionGateRefusal("2.0", "2.0", "2.5"),
            "Advertencia!: La Versión actual:2.0 No se puede actualizar");
  EXPECT_EQ(VersionGateRefusal("2.0", "2.0", ""), "Advertencia!: La Versión Ya Esta Actualizada");
  EXPECT_EQ(VersionGateRefusal("1.9", "1.10", ""),
            "Advertencia!: La Versión Actual es Más Nueva");
  EXPECT_EQ(VersionGateRefusal("1.10", "1.9", ""), std::nullopt);
  EXPECT_EQ(VersionGateRefusal("2.5", "3.0", "2.5"), std::nullopt);  // strictly lower refuses
  EXPECT_EQ(VersionGateRefusal("", "3.0", ""), std::nullopt);         // empty minimo
}

TEST(RunPaths, TargetDriveEndsAtTheFirstColon) {
  EXPECT_EQ(TargetDrive("c:"), "c:");
  EXPECT_EQ(TargetDrive("d: [DATOS]"), "d:");
  EXPECT_EQ(TargetDrive("e:\\x:y"), "e:");
  try {
    TargetDrive("DATOS");
    ADD_FAILURE() << "a drive text without a colon was taken";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrDeviceUnavailable);
  }
}

}  // namespace
}  // namespace act
