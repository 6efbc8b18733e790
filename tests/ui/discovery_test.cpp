// The discovery's order of precedence and its warning, over a fake shell.
#include <gtest/gtest.h>

#include "tests/ui/discovery_fakes.h"
#include "ui/discovery/drive_discovery.h"

namespace act {
namespace {

const std::string kUser = "C:\\users\\ana\\Start Menu\\Programs\\StartUp";
const std::string kCommon = "C:\\ProgramData\\Start Menu\\Programs\\StartUp";

class Discovery : public ::testing::Test {
 protected:
  Discovery() {
    shell.folders[kCsidlStartup] = kUser;
    shell.folders[kCsidlCommonStartup] = kCommon;
  }
  // Runs the discovery; returns what it handed to the drive list.
  std::string Run() {
    buscaUnidadPrograma(shell, boxes, drives);
    EXPECT_EQ(drives.set.size(), 1u);
    return drives.set.empty() ? "<none>" : drives.set.back();
  }
  FakeShell shell;
  RecordingBoxes boxes;
  RecordingDriveList drives;
};

TEST_F(Discovery, OpensAllFourShortcutsInOrder) {
  shell.targets[kUser + "\\zentaro Deck.lnk"] = "D:\\zentaroDeck\\zentaroDeck.exe";
  Run();
  EXPECT_EQ(shell.opened, (std::vector<std::string>{
                              kUser + "\\zentaro Deck.lnk", kUser + "\\zentaroDeck.lnk",
                              kCommon + "\\zentaro Deck.lnk", kCommon + "\\zentaroDeck.lnk"}));
}

TEST_F(Discovery, EachLaterSourceWinsOverEveryEarlierOne) {
  // From weakest to strongest; each step adds a shortcut on a new drive.
  const std::vector<std::pair<std::string, std::string>> sources = {
      {kUser + "\\zentaro Deck.lnk", "D:\\zentaroDeck\\zentaroDeck.exe"},
      {kUser + "\\zentaroDeck.lnk", "E:\\zentaroDeck\\zentaroDeck.exe"},
      {kCommon + "\\zentaro Deck.lnk", "F:\\zentaroDeck\\zentaroDeck.exe"},
      {kCommon + "\\zentaroDeck.lnk", "G:\\zentaroDeck\\zentaroDeck.exe"},
  };
  for (const auto& [path, target] : sources) {
    shell.targets[path] = target;
    drives.set.clear();
    EXPECT_EQ(Run(), target.substr(0, 2)) << path;
  }
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Discovery, AllUsersFolderWinsOverTheUsersFolder) {
  shell.targets[kUser + "\\zentaroDeck.lnk"] = "D:\\x.exe";
  shell.targets[kCommon + "\\zentaro Deck.lnk"] = "C:\\x.exe";
  EXPECT_EQ(Run(), "C:");
}

TEST_F(Discovery, EmptyTargetDoesNotClearAnEarlierDrive) {
  shell.targets[kUser + "\\zentaroDeck.lnk"] = "D:\\zentaroDeck\\zentaroDeck.exe";
  shell.targets[kCommon + "\\zentaroDeck.lnk"] = "";
  EXPECT_EQ(Run(), "D:");
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Discovery, KeepsTheTargetsLetterCaseAndTakesAnyFirstTwoCharacters) {
  shell.targets[kUser + "\\zentaroDeck.lnk"] = "e:\\zentaroDeck\\zentaroDeck.exe";
  EXPECT_EQ(Run(), "e:");
  shell.targets[kCommon + "\\zentaroDeck.lnk"] = "\\\\server\\share\\zentaroDeck.exe";
  drives.set.clear();
  EXPECT_EQ(Run(), "\\\\");
  shell.targets[kCommon + "\\zentaroDeck.lnk"] = "x";
  drives.set.clear();
  EXPECT_EQ(Run(), "x");
}

TEST_F(Discovery, WithoutShortcutWarnsOnceWithoutTitleOrIconThenSetsEmptyDrive) {
  EXPECT_EQ(Run(), "");
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No se encuentra el acceso directo de INICIO del Programa zentaro");
  EXPECT_EQ(boxes.shown[0].style, 0);
  EXPECT_EQ(boxes.shown[0].title, "");
}

TEST_F(Discovery, AFolderTheShellCannotGiveLeavesTheBareNames) {
  shell.folders.erase(kCsidlStartup);
  shell.targets["\\zentaroDeck.lnk"] = "D:\\x.exe";
  EXPECT_EQ(Run(), "D:");
  EXPECT_EQ(shell.opened[0], "\\zentaro Deck.lnk");
  EXPECT_EQ(shell.opened[1], "\\zentaroDeck.lnk");
}

TEST_F(Discovery, AnUnreadableShortcutEndsTheDiscoveryWithItsError) {
  shell.unreadable = kCommon + "\\zentaro Deck.lnk";
  EXPECT_THROW(buscaUnidadPrograma(shell, boxes, drives), Error);
  EXPECT_TRUE(drives.set.empty());
  EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
}  // namespace act
