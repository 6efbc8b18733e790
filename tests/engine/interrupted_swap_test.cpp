// Two rules that leave the bar with a working installation whatever befalls
// a run: one run at a time on a drive, and a swap stopped between its two
// moves finished by whoever takes the drive next, before anything else.
#include <gtest/gtest.h>

#include "engine/drive_lock.h"
#include "engine/swap_journal.h"
#include "run_fixture.h"

namespace act::test {
namespace {

const ShownBox kUpToDate{"Advertencia!: La Versión Ya Esta Actualizada", 16, "z-entaro"};
const ShownBox kDone{"Fin De La actualización", 64, "z-entaro"};

class InterruptedSwap : public RunTest {
 protected:
  std::string Backup() { return drive + "\\SOPORTE\\zentaroDeck_2.0.0.0"; }

  // The drive as a run stopped between the swap's two moves leaves it: the
  // staged copy flushed and its database renamed, the note on the disk, the
  // installation moved to its backup. Unless `moved`, the stop came before
  // the installation moved; unless `renamed`, the staged copy is not the
  // one the swap would promote.
  void StopTheSwap(bool moved, bool renamed) {
    MakeSample("2.0.0.0", "3.0.0.0");
    fs().CopyFolder(origin + "\\zentaroDeck_NEW", Staged(""), true);
    if (renamed) fs().MoveFile(Staged("\\datos.new"), Staged("\\datos.mdb"));
    fs().CreateFolder(drive + "\\SOPORTE");
    NoteSwap(fs(), RunPaths(drive), "2.0.0.0", "3.0.0.0", NoObserver());
    old_ = TakeSnapshot(fs(), Installed(""));
    staged_ = TakeSnapshot(fs(), Staged(""));
    if (moved) fs().MoveFolder(Installed(""), Backup());
    boxes.shown.clear();
  }

  // After the run: the backup whole, the note gone, no staging folder.
  void ExpectSettled() {
    EXPECT_EQ(TakeSnapshot(fs(), Backup()), old_);
    EXPECT_EQ(fs().ListFolder(drive + "\\SOPORTE"), std::vector<std::string>{"zentaroDeck_2.0.0.0"});
    EXPECT_FALSE(fs().FolderExists(Staged("")));
    EXPECT_EQ(fs().GetFileVersion(Installed("\\zentaroDeck.exe")), "3.0.0.0");
    EXPECT_FALSE(fs().FileExists(Installed("\\actualizador.ini")));
    EXPECT_FALSE(fs().FileExists(Installed("\\update_ss.ini")));
  }

  Snapshot old_, staged_;
};

TEST_F(InterruptedSwap, TheNextRunFinishesItFirstAndSaysSo) {
  // The staged copy complete: it is promoted, the update counts as done,
  // and the run then finds the package installed.
  StopTheSwap(true, true);
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_NE(boxes.shown[0].text.find("se ha terminado la actualización"), std::string::npos)
      << boxes.shown[0].text;
  EXPECT_EQ(boxes.shown[0].style, 64);
  EXPECT_EQ(boxes.shown[1], kUpToDate);
  Snapshot promoted = staged_;
  promoted.erase("actualizador.ini");
  promoted.erase("update_ss.ini");
  EXPECT_EQ(TakeSnapshot(fs(), Installed("")), promoted);
  ExpectSettled();

  // Not the copy the swap promotes: the old installation goes back, and
  // the run updates from it.
  fs().DeleteFolder(drive + "\\SOPORTE", true);
  fs().DeleteFolder(Installed(""), true);
  fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  StopTheSwap(true, false);
  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_NE(boxes.shown[0].text.find("se ha devuelto la instalación anterior de " + Backup()),
            std::string::npos)
      << boxes.shown[0].text;
  EXPECT_EQ(boxes.shown[1], kDone);
  ExpectSettled();

  // Stopped before the installation moved: nothing to move, the note goes.
  fs().DeleteFolder(drive + "\\SOPORTE", true);
  fs().DeleteFolder(Installed(""), true);
  fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);
  StopTheSwap(false, true);
  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  ASSERT_EQ(boxes.shown.size(), 2u);
  EXPECT_NE(boxes.shown[0].text.find("no hubo que mover nada"), std::string::npos);
  ExpectSettled();
}

TEST_F(InterruptedSwap, NothingWholeToPutBackEndsTheRunAndKeepsEverything) {
  StopTheSwap(true, false);
  fs().DeleteFolder(Backup(), true);
  Snapshot drive_before = TakeSnapshot(fs(), drive + "\\");
  EXPECT_EQ(RunExpectingError().number(), kErrPathNotFound);
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), drive_before);
  EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(InterruptedSwap, TheWindowFinishesItAsItOpensAndLeavesOtherDrivesAlone) {
  // A drive no update touched: nothing happens, nothing is made.
  MakeSample("2.0.0.0", "3.0.0.0");
  Snapshot untouched = TakeSnapshot(fs(), drive + "\\");
  FinishInterruptedUpdate(drive + " [DATOS]", fs(), boxes);
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), untouched);
  EXPECT_TRUE(boxes.shown.empty());
  fs().DeleteFolder(Installed(""), true);
  fs().DeleteFolder(origin + "\\zentaroDeck_NEW", true);

  StopTheSwap(true, true);
  FinishInterruptedUpdate(drive + " [DATOS]", fs(), boxes);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_NE(boxes.shown[0].text.find("es ya la nueva instalación"), std::string::npos);
  ExpectSettled();
}

TEST_F(InterruptedSwap, ASecondRunRefusesAtOnceAndChangesNothing) {
  MakeSample("2.0.0.0", "3.0.0.0");
  std::unique_ptr<DriveLock> first = DriveLock::Take(fs(), RunPaths(drive), NoObserver());
  ASSERT_TRUE(first);
  Snapshot before = TakeSnapshot(fs(), drive + "\\");
  EXPECT_EQ(Run(), RunOutcome::kRefused);
  const ShownBox busy{DriveBusyRefusal(drive), 16, "z-entaro"};
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{busy});
  EXPECT_EQ(TakeSnapshot(fs(), drive + "\\"), before);

  // Once the first is over the drive is free, and the folder it made for
  // its lock gone with it.
  first.reset();
  EXPECT_FALSE(fs().FolderExists(drive + "\\SOPORTE"));
  boxes.shown.clear();
  EXPECT_EQ(Run(), RunOutcome::kCompleted);
  EXPECT_EQ(boxes.shown, std::vector<ShownBox>{kDone});
}

}  // namespace
}  // namespace act::test
