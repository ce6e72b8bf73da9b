// The alignment command end to end against a scripted controller: the
// preparation and its failures, the scan loop, the range list and summary,
// the curtain picture and its history, and the restore of the controller's own set.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "ops/set_journal.h"
#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "tools/alignment_dlg.h"
#include "tools/alignment_operation.h"
#include "tools/beam_waterfall.h"
#include "tools/curtain_view.h"
#include "tools/record_control.h"
#include "tools/spreadsheet.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::DiagBoard;
using test::GridRows;
using test::OnModal;
using test::ScriptedController;
using test::ScriptedPort;

// Calls `step` at every event-loop turn until it returns true, for as long
// as `owner` lives (the steps use the caller's locals).
void Repeat(QObject* owner, std::function<bool()> step) {
  QTimer::singleShot(0, owner, [owner, step] {
    if (!step()) Repeat(owner, step);
  });
}

void SetCheckSum(char* psf) {
  PsfImage image;
  image.FromBytes(psf, 0);
  image.UpdateCheckSum();
  std::memcpy(psf, image.Data(), kPsfSize);
}

std::vector<DiagBoard> Boards16() { return {{'E', '1', 'G', '0'}, {'E', '2', 'G', '0'},
                                            {'R', '1', 'G', '0'}, {'R', '2', 'G', '0'}}; }

class AlignmentTest : public ::testing::Test {
 protected:
  AlignmentTest() : scope_(&ticks_) {
    InstallQtIdleHook();
    controller_.scan_payload = ScriptedController::BeamPayload(8, {2});  // the default 8 beams
    // A set that differs from the alignment set in every field it changes.
    controller_.psf[2] = 'j';
    controller_.psf[3] = 'A';
    controller_.psf[4] = 'D';
    controller_.psf[6] = 'b';
    controller_.psf[64] = 'g';
    SetCheckSum(controller_.psf);
    std::memcpy(original_, controller_.psf, kPsfSize);
    Operation::SetPortFactory([this](int port_number, long baud) {
      auto port = std::make_unique<ScriptedPort>(port_number, baud);
      line_.Attach(*port);
      port_ = port.get();
      return std::unique_ptr<RS232>(std::move(port));
    });
  }
  ~AlignmentTest() override { Operation::SetPortFactory({}); }

  std::string Held() const { return std::string(line_.HeldPsf(), kPsfSize); }
  std::string Original() const { return std::string(original_, kPsfSize); }

  // Runs the alignment command; `in_dialog` works the dialog, then Exit.
  int RunAlignment(const std::function<void(CAlignmentDlg*)>& in_dialog) {
    OnModal<CAlignmentDlg> driver([&](CAlignmentDlg* dialog) {
      cursor_at_open_ = QApplication::overrideCursor() != nullptr;
      wait_cursors_at_open_ = WaitCursor::ActiveCount();
      held_while_open_ = Held();
      in_dialog(dialog);
      dialog->ExitButton()->click();
    });
    AlignmentOperation operation(nullptr, 2, 9600);
    const int result = operation.Run();
    dialogs_opened_ = driver.opened;
    return result;
  }

  // Run with Stop clicked at the loop's first chance: one scan.
  static void RunOnce(CAlignmentDlg* dialog) {
    QTimer::singleShot(0, dialog->StopButton(), &QPushButton::click);
    dialog->RunButton()->click();
  }

  VirtualTickSource ticks_{5000};
  ScopedTickSource scope_;
  ScriptedController controller_;
  test::FaultSwitch line_{controller_};
  ScriptedPort* port_ = nullptr;
  ScriptedPrompter prompter_;
  char original_[kPsfSize];
  bool cursor_at_open_ = true;
  int wait_cursors_at_open_ = -1;
  int dialogs_opened_ = 0;
  std::string held_while_open_;
};

struct PrepareFailure {
  const char* name;
  const char* message;
  void (*arrange)(ScriptedController&);
  sim::SimConfig (*fault)() = nullptr;  // then kelvt-sim's controller answers
};

class AlignmentFailureTest : public AlignmentTest,
                             public ::testing::WithParamInterface<PrepareFailure> {};

TEST_P(AlignmentFailureTest, ReportsAndLeavesTheControllerAlone) {
  const PrepareFailure& c = GetParam();
  c.arrange(controller_);
  const test::SimResponder* sim = c.fault ? &line_.Fault(c.fault()) : nullptr;
  std::vector<int> wait_cursors;
  prompter_.OnMessage([&](const RecordedMessage&) { wait_cursors.push_back(WaitCursor::ActiveCount()); });
  EXPECT_EQ(RunAlignment([](CAlignmentDlg*) {}), 0);
  EXPECT_EQ(dialogs_opened_, 0);
  ASSERT_EQ(prompter_.messages.size(), 1u);
  const RecordedMessage& m = prompter_.messages[0];
  EXPECT_EQ(m.text, c.message);
  EXPECT_EQ(m.caption, "Kelvo-Tarn");
  EXPECT_EQ(m.icon, PromptIcon::Stop);
  EXPECT_EQ(m.buttons, PromptButtons::Ok);
  EXPECT_EQ(wait_cursors, std::vector<int>{0});  // the wait cursor went before the box
  EXPECT_EQ(sim ? sim->PsfsTaken() : controller_.psf_writes, 0);  // the alignment set never arrived
  EXPECT_EQ(Held(), Original());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Preparation, AlignmentFailureTest,
    ::testing::Values(
        PrepareFailure{"NoDiagnostics", "Unable to input Diagnostics.",
                       [](ScriptedController& c) { c.diagnostics.clear(); }},
        PrepareFailure{"NotOperational",
                       "Alignment cannot be executed because the device is not in an operational state.",
                       [](ScriptedController& c) {
                         c.diagnostics = ScriptedController::DiagnosticsReply(
                             'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '5'}});
                       }},
        PrepareFailure{"PsfNotRead", "Unable to input psf.",
                       [](ScriptedController& c) {
                         c.intercept = [](ScriptedController&, ScriptedPort&, const char* d, int n) {
                           return n == 4 && d[0] == 0x1B && d[2] == 'D';
                         };
                       }},
        PrepareFailure{"AlignmentSetRefused", "Unable to output psf.", [](ScriptedController&) {},
                       test::NoAck}),
    [](const ::testing::TestParamInfo<PrepareFailure>& info) { return std::string(info.param.name); });

TEST_F(AlignmentTest, RefusedAlignmentSetIsNotFollowedByARestore) {
  const test::SimResponder& sim = line_.Fault(test::NoAck());
  RunAlignment([](CAlignmentDlg*) {});
  EXPECT_EQ(sim.Heard('C'), 3);  // three tries of the alignment set, nothing after
}

TEST_F(AlignmentTest, SendsTheAlignmentSetOpensTheDialogAndPutsTheOriginalBack) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply('A', Boards16());
  int channel_count = -1;
  EXPECT_EQ(RunAlignment([&](CAlignmentDlg* d) { channel_count = d->ChannelCount(); }), 1);
  ASSERT_EQ(dialogs_opened_, 1);
  EXPECT_EQ(channel_count, 32);  // 64 channels over both bars
  EXPECT_FALSE(cursor_at_open_);
  EXPECT_EQ(wait_cursors_at_open_, 0);
  // What the controller held while the dialog was open: the alignment set.
  const std::string& sent = held_while_open_;
  ASSERT_EQ(sent.size(), static_cast<size_t>(kPsfSize));
  EXPECT_EQ(sent[2], 'a');
  EXPECT_EQ(sent[3], 'I');
  EXPECT_EQ(sent[4], 'K');
  EXPECT_EQ(sent[6], 'c');
  EXPECT_EQ(sent[64], 'c');
  for (int i : {0, 1, 5, 7, 40, 63, 65, 66, 71, 75}) EXPECT_EQ(sent[i], original_[i]) << "byte " << i;
  char sum[6];
  std::snprintf(sum, sizeof sum, "%05ld", PsfCheckSum(sent.data()));
  EXPECT_EQ(sent.substr(76, 5), sum);
  // After Exit the framework sent the saved set back.
  EXPECT_EQ(controller_.psf_writes, 2);
  EXPECT_EQ(Held(), Original());
  EXPECT_TRUE(prompter_.messages.empty());
}

// The controller's own set is in the journal while the alignment set runs,
// and the entry is finished once the own set is back.
TEST_F(AlignmentTest, JournalHoldsTheOwnSetWhileTheAlignmentSetRuns) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  SetJournal journal(folder.path().toStdString());
  InstallJournal(&journal);
  std::vector<JournalEntry> while_open;
  RunAlignment([&](CAlignmentDlg*) { while_open = journal.Unfinished(); });
  InstallJournal(nullptr);
  ASSERT_EQ(while_open.size(), 1u);
  EXPECT_EQ(while_open[0].tag.operation, "alignment");
  EXPECT_EQ(while_open[0].tag.port, "COM3");
  PsfImage kept;
  ASSERT_EQ(journal.Load(while_open[0], kept), LoadResult::kOk);
  EXPECT_EQ(std::string(kept.Data(), kPsfSize), Original());
  EXPECT_EQ(Held(), Original());
  const std::vector<JournalEntry> after = journal.Entries();
  ASSERT_EQ(after.size(), 1u);
  EXPECT_TRUE(after[0].finished);
}

TEST_F(AlignmentTest, RangeListAndSummaryFollowTheFilter) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});  // 16 beams
  controller_.scan_payload = ScriptedController::BeamPayload(16, {3, 4, 5});
  RunAlignment([&](CAlignmentDlg* d) {
    // Before any scan a filter only changes the selection.
    d->BothButton()->click();
    EXPECT_TRUE(GridRows(d->RangeGrid()).empty());
    EXPECT_EQ(d->DisplayRewrites(), 0);
    d->BrokenButton()->click();

    RunOnce(d);
    EXPECT_EQ(GridRows(d->RangeGrid()), std::vector<std::string>{"4 - 6|Broken"});
    const CSpreadSheet* s = d->SummaryGrid();
    const char* expected[3][3] = {{"Total", "3", "13"}, {"First", "4", "1"}, {"Last", "6", "16"}};
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) EXPECT_EQ(s->CellText(r + 1, c + 1).toStdString(), expected[r][c]);
    }
    EXPECT_EQ(s->HeaderText(2).toStdString(), "Broken");
    EXPECT_EQ(d->RangeGrid()->HeaderText(2).toStdString(), "Status");

    // Idle filter changes rebuild from the last scan without the controller.
    const int scans = controller_.scans;
    const uint32_t writes = static_cast<uint32_t>(port_->Written().size());
    d->BothButton()->click();
    EXPECT_EQ(GridRows(d->RangeGrid()),
              (std::vector<std::string>{"1 - 3|Made", "4 - 6|Broken", "7 - 16|Made"}));
    d->MadeButton()->click();
    EXPECT_EQ(GridRows(d->RangeGrid()), (std::vector<std::string>{"1 - 3|Made", "7 - 16|Made"}));
    EXPECT_EQ(controller_.scans, scans);
    EXPECT_EQ(port_->Written().size(), writes);

    // A lone broken beam 9 is listed as 10; no broken beam leaves First/Last empty.
    controller_.scan_payload = ScriptedController::BeamPayload(16, {9});
    d->BrokenButton()->click();
    RunOnce(d);
    EXPECT_EQ(GridRows(d->RangeGrid()), std::vector<std::string>{"10|Broken"});
    controller_.scan_payload = ScriptedController::BeamPayload(16, {});
    RunOnce(d);
    EXPECT_TRUE(GridRows(d->RangeGrid()).empty());
    EXPECT_EQ(s->CellText(1, 2).toStdString(), "0");
    EXPECT_EQ(s->CellText(2, 2).toStdString(), "");
    EXPECT_EQ(s->CellText(3, 2).toStdString(), "");
    EXPECT_EQ(s->CellText(3, 3).toStdString(), "16");
  });
}

TEST_F(AlignmentTest, SameBeamMapOnASecondRunRedrawsNothing) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});
  controller_.scan_payload = ScriptedController::BeamPayload(16, {0, 15});
  RunAlignment([&](CAlignmentDlg* d) {
    RunOnce(d);
    ASSERT_EQ(d->ScansDone(), 1);
    EXPECT_EQ(d->DisplayRewrites(), 1);
    EXPECT_EQ(d->Curtain()->RepaintRequests(), 1);
    RunOnce(d);
    RunOnce(d);
    EXPECT_EQ(d->ScansDone(), 3);
    EXPECT_EQ(d->DisplayRewrites(), 1);
    EXPECT_EQ(d->Curtain()->RepaintRequests(), 1);
    // A filter change redraws the list but not the picture.
    d->BothButton()->click();
    EXPECT_EQ(d->DisplayRewrites(), 2);
    RunOnce(d);
    EXPECT_EQ(d->DisplayRewrites(), 2);
    EXPECT_EQ(d->Curtain()->RepaintRequests(), 1);
    // A changed beam redraws both.
    controller_.scan_payload = ScriptedController::BeamPayload(16, {0});
    RunOnce(d);
    EXPECT_EQ(d->DisplayRewrites(), 3);
    EXPECT_EQ(d->Curtain()->RepaintRequests(), 2);
    EXPECT_EQ(d->Curtain()->ShownState(15), 0);
    EXPECT_EQ(d->Curtain()->ShownState(0), 1);
  });
}

TEST_F(AlignmentTest, StopEndsTheLoopAndRestoresTheButtons) {
  RunAlignment([&](CAlignmentDlg* d) {
    QObject owner;
    bool states_ok = false;
    QWidget* active = nullptr;
    Repeat(&owner, [&] {
      if (controller_.scans < 5) return false;
      active = ActiveDialogWindow();
      states_ok = !d->RunButton()->isEnabled() && !d->ExitButton()->isEnabled() &&
                  d->StopButton()->isEnabled() && d->Running() && d->focusWidget() == d->StopButton();
      QTest::keyClick(d->focusWidget(), Qt::Key_Return);  // Enter presses the focused Stop
      return true;
    });
    d->RunButton()->click();  // returns when the loop has ended
    EXPECT_TRUE(states_ok);
    EXPECT_EQ(active, d);
    EXPECT_FALSE(d->Running());
    EXPECT_GE(d->ScansDone(), 5);
    EXPECT_LE(d->ScansDone(), 6);  // the scan in progress completes, no more
    EXPECT_EQ(ActiveDialogWindow(), nullptr);
    EXPECT_TRUE(d->RunButton()->isEnabled());
    EXPECT_TRUE(d->ExitButton()->isEnabled());
    EXPECT_FALSE(d->StopButton()->isEnabled());
    EXPECT_EQ(d->focusWidget(), d->RunButton());
    // Enter after Stop presses Run again, never Exit (which would end the alignment).
    const int first = d->ScansDone();
    Repeat(&owner, [&] {
      if (d->ScansDone() < first + 2) return false;
      d->StopButton()->click();
      return true;
    });
    QTest::keyClick(d->focusWidget(), Qt::Key_Return);
    EXPECT_GE(d->ScansDone(), first + 2);
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->windowModality(), Qt::WindowModal);
  });
  EXPECT_EQ(Held(), Original());
}

TEST_F(AlignmentTest, ScanFailureEndsTheLoopButNotTheDialog) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});
  controller_.scan_payload = ScriptedController::BeamPayload(16, {7, 8});
  controller_.intercept = [](ScriptedController& c, ScriptedPort&, const char* d, int n) {
    if (n == 3 && d[2] == 'S' && c.scans >= 3) {
      ++c.scans;
      return true;  // heard, never answered
    }
    return false;
  };
  bool visible_after = false;
  RunAlignment([&](CAlignmentDlg* d) {
    d->RunButton()->click();
    EXPECT_FALSE(d->Running());
    EXPECT_EQ(d->ScansDone(), 3);
    visible_after = d->isVisible();
    EXPECT_EQ(GridRows(d->RangeGrid()), std::vector<std::string>{"8 - 9|Broken"});
    EXPECT_TRUE(d->RunButton()->isEnabled());
    EXPECT_TRUE(d->ExitButton()->isEnabled());
    ASSERT_EQ(prompter_.messages.size(), 1u);
    EXPECT_EQ(prompter_.messages[0].text, "Unable to Input Scan.");
    EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn");
    EXPECT_EQ(prompter_.messages[0].icon, PromptIcon::Stop);
    EXPECT_EQ(prompter_.messages[0].parent, d);
  });
  EXPECT_TRUE(visible_after);
  EXPECT_EQ(controller_.scans, 3 + 3);  // three tries of the failing scan
  EXPECT_EQ(Held(), Original());        // the restore still ran
}

TEST_F(AlignmentTest, CannotBeClosedWhileTheLoopRuns) {
  RunAlignment([&](CAlignmentDlg* d) {
    QObject owner;
    bool open_after_close = false;
    bool open_after_escape = false;
    Repeat(&owner, [&] {
      if (controller_.scans < 2) return false;
      d->reject();
      d->close();
      open_after_close = d->isVisible() && d->Running();
      QTest::keyClick(d, Qt::Key_Escape);
      open_after_escape = d->isVisible();
      return true;
    });
    d->RunButton()->click();
    EXPECT_TRUE(open_after_close);
    EXPECT_TRUE(open_after_escape);
    EXPECT_FALSE(d->Running());  // the refused close stopped the loop
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->result(), 0);
  });
  EXPECT_EQ(dialogs_opened_, 1);
}

TEST_F(AlignmentTest, FilterChosenDuringTheLoopShowsAtTheNextScan) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});
  controller_.scan_payload = ScriptedController::BeamPayload(16, {3, 4, 5});
  RunAlignment([&](CAlignmentDlg* d) {
    QObject owner;
    std::vector<std::string> rows_at_click;
    Repeat(&owner, [&] {
      if (controller_.scans < 2) return false;
      d->BothButton()->click();
      rows_at_click = GridRows(d->RangeGrid());
      Repeat(&owner, [&] {
        if (controller_.scans < 4) return false;
        d->StopButton()->click();
        return true;
      });
      return true;
    });
    d->RunButton()->click();
    EXPECT_EQ(rows_at_click, std::vector<std::string>{"4 - 6|Broken"});  // untouched mid-scan
    EXPECT_EQ(GridRows(d->RangeGrid()),
              (std::vector<std::string>{"1 - 3|Made", "4 - 6|Broken", "7 - 16|Made"}));
    EXPECT_EQ(d->DisplayRewrites(), 2);
  });
}

TEST_F(AlignmentTest, CurtainShowsEachBeamInItsColour) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply('A', Boards16());
  std::vector<int> broken = {0, 1, 2, 9, 17, 18, 31};
  controller_.scan_payload = ScriptedController::BeamPayload(32, broken);
  RunAlignment([&](CAlignmentDlg* d) {
    d->BothButton()->click();
    RunOnce(d);
    CurtainView* curtain = d->Curtain();
    ASSERT_EQ(curtain->BeamCount(), 32);
    const QImage picture = curtain->grab().toImage();
    for (int beam = 0; beam < 32; ++beam) {
      const bool is_broken = std::find(broken.begin(), broken.end(), beam) != broken.end();
      EXPECT_EQ(curtain->ShownState(beam), is_broken ? 1 : 0) << beam;
      const QRect cell = curtain->CellRect(beam);
      ASSERT_TRUE(picture.rect().contains(cell)) << beam;
      // Broken cells are red (hatched darker red), made ones green.
      const QColor c = picture.pixelColor(cell.center());
      if (is_broken) {
        EXPECT_GT(c.red(), c.green() * 2) << "beam " << beam;
      } else {
        EXPECT_GT(c.green(), c.red()) << "beam " << beam;
      }
    }
    // Cells tile the bar in beam order, beam 1 at the top.
    for (int beam = 1; beam < 32; ++beam) {
      EXPECT_EQ(curtain->CellRect(beam).top(), curtain->CellRect(beam - 1).bottom() + 1);
    }
    const QString dir = QStringLiteral(KELVT_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    EXPECT_TRUE(d->grab().save(dir + "/alignment_dialog.png"));
  });
}

// The lines of a recording with the time (first field) dropped, after
// checking that it is an ISO time.
std::vector<std::string> RecordedRows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> rows;
  std::string line;
  while (std::getline(in, line)) {
    EXPECT_TRUE(!line.empty() && line.back() == '\r') << line;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (rows.empty()) {
      rows.push_back(line);  // the header
      continue;
    }
    EXPECT_EQ(line.find('T'), 10u) << line;
    rows.push_back(line.substr(line.find(',') + 1));
  }
  return rows;
}

TEST_F(AlignmentTest, RecordWritesEveryScanOfTheLoopToANewFile) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply(
      'A', {{'E', '1', 'G', '0'}, {'R', '1', 'G', '0'}});  // 16 beams
  // Each scan answers with the next map; then the controller goes silent.
  std::vector<std::vector<int>> maps;
  size_t next = 0;
  controller_.intercept = [&](ScriptedController& c, ScriptedPort&, const char* d, int n) {
    if (n != 3 || d[2] != 'S') return false;
    if (next < maps.size()) {
      c.scan_payload = ScriptedController::BeamPayload(16, maps[next++]);
      return false;
    }
    ++c.scans;
    return true;
  };
  QTemporaryDir temp;
  ASSERT_TRUE(temp.isValid());
  const QString folder = temp.path() + "/records/kelvt";  // created at the first recording
  RecordControl::SetFolder(folder.toStdString());
  const std::string header =
      "time,scan,broken,made,first broken,last broken,first made,last made,beams";
  RunAlignment([&](CAlignmentDlg* d) {
    RecordControl* rec = d->Recorder();
    QCheckBox* box = rec->CheckBox();
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(box->text(), "Re&cord");

    // Off: the loop writes nothing, not even the folder.
    maps = {{1}, {2}};
    next = 0;
    d->RunButton()->click();
    EXPECT_EQ(d->ScansDone(), 2);
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_TRUE(rec->StatusLabel()->text().isEmpty());

    // On: a header and one row per scan, every scan (changed or not).
    box->setChecked(true);
    maps = {{3, 4, 5}, {3, 4, 5}, {9}};
    next = 0;
    QString status_while_running;
    QObject owner;
    Repeat(&owner, [&] {
      if (next < 2) return false;
      status_while_running = rec->StatusLabel()->text();
      return true;
    });
    d->RunButton()->click();
    const std::string path = rec->Path();
    EXPECT_EQ(status_while_running.toStdString(), "Recording to " + path);
    EXPECT_EQ(rec->StatusLabel()->text().toStdString(), "Recorded 3 scan(s) to " + path);
    const QStringList files = QDir(folder).entryList(QDir::Files);
    ASSERT_EQ(files.size(), 1);
    EXPECT_TRUE(QRegularExpression("^alignment-\\d{8}-\\d{6}\\.csv$").match(files[0]).hasMatch())
        << files[0].toStdString();
    EXPECT_EQ(RecordedRows(path), (std::vector<std::string>{
                                      header,
                                      "1,3,13,4,6,1,16,0001110000000000",
                                      "2,3,13,4,6,1,16,0001110000000000",
                                      "3,1,15,10,10,1,16,0000000001000000"}));

    // Ticked while the loop runs: a further new file from the scan in progress on.
    box->setChecked(false);
    maps = {{0}, {0}, {15}, {}};
    next = 0;
    int done_at_tick = -1;
    Repeat(&owner, [&] {
      if (next < 2) return false;
      done_at_tick = d->ScansDone();
      box->setChecked(true);
      return true;
    });
    d->RunButton()->click();
    ASSERT_GE(done_at_tick, 4);  // two loops of 2 and 3 came before
    const int recorded = 2 + 3 + 4 - done_at_tick;
    EXPECT_NE(rec->Path(), path);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
    const std::vector<std::string> rows = RecordedRows(rec->Path());
    ASSERT_EQ(rows.size(), static_cast<size_t>(recorded + 1));
    EXPECT_EQ(rows.back(), std::to_string(recorded) + ",0,16,,,1,16,0000000000000000");

    // A folder that cannot be made: the reason shows, Record goes off, the loop runs on.
    RecordControl::SetFolder(temp.path().toStdString() + "/records/kelvt/" +
                             files[0].toStdString() + "/sub");
    box->setChecked(true);
    maps = {{1}, {2}, {3}};
    next = 0;
    const int before = d->ScansDone();
    d->RunButton()->click();
    EXPECT_EQ(d->ScansDone(), before + 3);
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(rec->StatusLabel()->text().startsWith("Cannot record: the folder "));
    EXPECT_TRUE(rec->StatusLabel()->text().endsWith(" cannot be created (Not a directory)."))
        << rec->StatusLabel()->text().toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2);
  });
  RecordControl::SetFolder({});
}

// An object three beams wide keeps passing beams 1 to 12, beam 17 breaks for
// a single scan three times, beam 30 stays broken: only 17 flickers, and the
// waterfall beside the curtain shows every map, the newest next to it.
TEST_F(AlignmentTest, WaterfallAndFlickerListFollowTheScans) {
  controller_.diagnostics = ScriptedController::DiagnosticsReply('A', Boards16());
  constexpr int kScans = 300;
  const auto broken_in = [](int scan, int beam) {
    if (beam < 12) return (beam - scan % 12 + 12) % 12 < 3;
    if (beam == 16) return scan == 40 || scan == 150 || scan == 260;
    return beam == 29;
  };
  CAlignmentDlg* dialog = nullptr;
  controller_.intercept = [&](ScriptedController& c, ScriptedPort&, const char* d, int n) {
    if (n != 3 || d[2] != 'S') return false;
    std::vector<int> broken;
    for (int beam = 0; beam < 32; ++beam) {
      if (broken_in(c.scans, beam)) broken.push_back(beam);
    }
    c.scan_payload = ScriptedController::BeamPayload(32, broken);
    if (c.scans + 1 == kScans && dialog) dialog->OnStop();  // this scan is the last
    return false;
  };
  RunAlignment([&](CAlignmentDlg* d) {
    dialog = d;
    EXPECT_EQ(d->FlickerLabel()->text(), "Flickering: none");
    d->RunButton()->click();
    ASSERT_EQ(d->ScansDone(), kScans);
    EXPECT_EQ(d->FlickerLabel()->text(), "Flickering: 17 (6)");
    EXPECT_GE(d->Waterfall()->RefreshRequests(), kScans);

    BeamWaterfall* waterfall = d->Waterfall();
    const QImage picture = waterfall->grab().toImage();
    const QRect plot = waterfall->PlotRect();
    ASSERT_GT(plot.width(), 50);
    // Beside the curtain on its beam axis: each beam's row level with its cell.
    for (int beam = 0; beam < 32; ++beam) {
      const QRect cell = d->Curtain()->CellRect(beam);
      const QRect row = waterfall->RowRect(beam);
      EXPECT_EQ(waterfall->mapToGlobal(row.topLeft()).y(), d->Curtain()->mapToGlobal(cell.topLeft()).y());
      EXPECT_EQ(row.height(), cell.height()) << "beam " << beam;
      EXPECT_EQ(waterfall->BeamAt(row.center().y()), beam);
    }
    EXPECT_LT(d->Curtain()->mapToGlobal(d->Curtain()->rect().topRight()).x(),
              waterfall->mapToGlobal(plot.topLeft()).x());
    int checked = 0;
    for (int x = plot.left(); x <= plot.right(); x += 7) {
      const int age = waterfall->AgeAt(x);
      ASSERT_GE(age, 0);
      ASSERT_GT(waterfall->AgeEnd(x), age);
      for (int beam : {0, 5, 11, 12, 16, 29, 31}) {
        const QColor c = picture.pixelColor(x, waterfall->RowRect(beam).center().y());
        bool broken = false;
        for (int a = age; a < waterfall->AgeEnd(x); ++a) broken |= broken_in(kScans - 1 - a, beam);
        EXPECT_EQ(c, broken ? CurtainView::kBrokenColour : CurtainView::kMadeColour)
            << "beam " << beam << " age " << age;
        ++checked;
      }
    }
    EXPECT_GT(checked, 100);
    // Each single-scan break of beam 17 shows in some column.
    int columns_with_17 = 0;
    for (int x = plot.left(); x <= plot.right(); ++x) {
      columns_with_17 += picture.pixelColor(x, waterfall->RowRect(16).center().y()) ==
                         CurtainView::kBrokenColour;
    }
    EXPECT_GE(columns_with_17, 3);
    // Pointing tells the beam, its state and the scan's time; the newest at the curtain.
    const int y30 = waterfall->RowRect(29).center().y();
    EXPECT_EQ(waterfall->HoverText({plot.left(), y30}),
              "Beam 30: Broken\n" +
                  QDateTime::fromMSecsSinceEpoch(d->History().Time(0)).toString("HH:mm:ss.zzz") +
                  ", the last scan");
    EXPECT_GT(d->History().Time(0), d->History().Time(kScans - 1));
    int x40 = plot.left();  // the column of scan 40
    while (x40 < plot.right() && waterfall->AgeEnd(x40) <= kScans - 1 - 40) ++x40;
    const QString hover17 = waterfall->HoverText({x40, waterfall->RowRect(16).center().y()});
    EXPECT_TRUE(hover17.startsWith("Beam 17: Broken\n")) << hover17.toStdString();
    EXPECT_TRUE(waterfall->HoverText({plot.right() + 2, y30}).isEmpty());
    test::SaveScreenshot(d, QStringLiteral("alignment_waterfall"));

    // A new Run forgets the history: a steady curtain lists nothing.
    controller_.intercept = nullptr;
    controller_.scan_payload = ScriptedController::BeamPayload(32, {29});
    RunOnce(d);
    EXPECT_EQ(d->History().Scans(), 1);
    EXPECT_EQ(d->FlickerLabel()->text(), "Flickering: none");
    const QImage fresh = waterfall->grab().toImage();
    EXPECT_EQ(fresh.pixelColor(plot.left(), waterfall->RowRect(0).center().y()),
              CurtainView::kMadeColour);
    EXPECT_EQ(fresh.pixelColor(plot.right(), waterfall->RowRect(0).center().y()),
              CurtainView::kUnknownColour);
    EXPECT_TRUE(waterfall->HoverText({plot.right(), y30}).isEmpty());  // not yet scanned
  });
}

}  // namespace
}  // namespace kelvt
