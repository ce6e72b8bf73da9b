// Diagnostics (F2): the operation and its dialog, on a scripted controller
// (virtual clock) and end to end against kelvt-sim through the main window.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "app/main_frame.h"
#include "gui/operation.h"
#include "platform/tick.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "support/sim_process.h"
#include "tools/diagnostics_dlg.h"
#include "tools/diagnostics_operation.h"
#include "tools/spreadsheet.h"
#include "ui/support/scripted_prompter.h"
#include "ui/support/ui_test_util.h"

namespace kelvt {
namespace {

using test::DiagBoard;
using test::ScriptedController;
using test::ScriptedPort;

// Rows of the board grid as "number kind channels error".
std::vector<std::string> Rows(const CSpreadSheet& grid) {
  std::vector<std::string> rows;
  for (long r = 1; r <= grid.GetRowCount(); ++r) {
    rows.push_back((grid.CellText(r, 1) + " " + grid.CellText(r, 3) + " " + grid.CellText(r, 2) +
                    " " + grid.CellText(r, 4))
                       .toStdString());
  }
  return rows;
}

class DiagnosticsTest : public ::testing::Test {
 protected:
  DiagnosticsTest() : ticks_(&clock_) {
    Operation::SetPortFactory([this](int port, long baud) {
      auto scripted = std::make_unique<ScriptedPort>(port, baud);
      line.Attach(*scripted);
      return std::unique_ptr<RS232>(std::move(scripted));
    });
  }
  ~DiagnosticsTest() override { Operation::SetPortFactory({}); }

  void Boards(const std::vector<DiagBoard>& boards, const char* part = "123456",
              const char* date = "0124") {
    controller.diagnostics = ScriptedController::DiagnosticsReply(controller.id, boards, part, date);
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedController controller;
  test::FaultSwitch line{controller};
  ScriptedPrompter prompter;
};

TEST_F(DiagnosticsTest, TwoEmittersAndTwoReceiversWithoutErrors) {
  Boards({{'E', '1', 'G', '0'}, {'E', '2', 'G', '0'}, {'R', '1', '8', '0'}, {'R', '2', '8', '0'}},
         "654321", "2407");
  DiagnosticsOperation op(nullptr, 0, 9600);
  ASSERT_EQ(op.OpenPort(), 1);
  ASSERT_NE(op.ReadDiagnostics(), 0);
  CDiagnosticsDlg dialog(&op, nullptr);
  EXPECT_EQ(dialog.windowTitle(), "Diagnostics");
  EXPECT_EQ(dialog.SystemStateText(), "Operational");
  EXPECT_EQ(dialog.EmitterCountText(), "2");
  EXPECT_EQ(dialog.ReceiverCountText(), "2");
  EXPECT_EQ(dialog.PartNumberText(), "654321");
  EXPECT_EQ(dialog.DateCodeText(), "2407");
  EXPECT_EQ(Rows(*dialog.Grid()), (std::vector<std::string>{"1 E 16 0 No Errors", "2 E 16 0 No Errors",
                                                            "1 R 8 0 No Errors", "2 R 8 0 No Errors"}));
  EXPECT_EQ(dialog.Grid()->HeaderText(1), "Board");
  EXPECT_EQ(dialog.Grid()->HeaderText(2), "Num Channels");
  EXPECT_EQ(dialog.Grid()->HeaderText(3), "Type");
  EXPECT_EQ(dialog.Grid()->HeaderText(4), "State");
  EXPECT_EQ(dialog.RefreshButton()->text(), "&Refresh");
  EXPECT_EQ(dialog.ExitButton()->text(), "&Exit");
  EXPECT_TRUE(dialog.ExitButton()->isDefault());
  EXPECT_TRUE(prompter.messages.empty());
}

TEST_F(DiagnosticsTest, BoardKindsErrorsAndChannelCounts) {
  struct Case {
    const char* name;
    std::vector<DiagBoard> boards;
    const char* state;
    const char* emitters;
    const char* receivers;
    std::vector<std::string> rows;
  };
  const std::vector<Case> cases = {
      {"no receivers", {{'E', '1', '8', '0'}, {'E', '2', '8', '0'}}, "Sensor Not Responding", "2",
       "No Response From Receiver", {"1 E 8 0 No Errors", "2 E 8 0 No Errors"}},
      {"no emitters", {{'R', '1', 'G', '0'}}, "Sensor Not Responding", "No Response From Emitter", "1",
       {"1 R 16 0 No Errors"}},
      {"no boards", {}, "Sensor Not Responding", "No Response From Emitter",
       "No Response From Receiver", {}},
      {"invalid error code", {{'E', '1', '8', 'Z'}, {'R', '1', '8', '0'}}, "Emitter Error", "1", "1",
       {"1 E 8 Invalid Error Code", "1 R 8 0 No Errors"}},
      {"channel errors", {{'E', '1', '8', '3'}, {'R', '1', 'G', 'I'}, {'R', '2', 'x', 'A'}},
       "Emit/Rcv Errors", "1", "2",
       {"1 E 8 3 Channel 3", "1 R 16 I End of Scan", "2 R ?? A Channel 10"}},
  };
  for (const Case& c : cases) {
    Boards(c.boards);
    DiagnosticsOperation op(nullptr, 0, 9600);
    ASSERT_EQ(op.OpenPort(), 1);
    op.ReadDiagnostics();
    CDiagnosticsDlg dialog(&op, nullptr);
    EXPECT_EQ(dialog.SystemStateText(), c.state) << c.name;
    EXPECT_EQ(dialog.EmitterCountText(), c.emitters) << c.name;
    EXPECT_EQ(dialog.ReceiverCountText(), c.receivers) << c.name;
    EXPECT_EQ(Rows(*dialog.Grid()), c.rows) << c.name;
  }
}

TEST_F(DiagnosticsTest, RefreshThatFindsFewerBoardsLeavesExactlyThatManyRows) {
  Boards({{'E', '1', '8', '0'}, {'E', '2', '8', '0'}, {'E', '3', '8', '0'}, {'R', '1', '8', '0'},
          {'R', '2', '8', '0'}, {'R', '3', '8', '0'}});
  DiagnosticsOperation op(nullptr, 0, 9600);
  ASSERT_EQ(op.OpenPort(), 1);
  op.ReadDiagnostics();
  CDiagnosticsDlg dialog(&op, nullptr);
  dialog.show();
  EXPECT_EQ(dialog.Grid()->GetRowCount(), 6);
  Boards({{'E', '1', '8', '0'}, {'R', '1', '8', '5'}}, "999999", "2501");
  QTest::mouseClick(dialog.RefreshButton(), Qt::LeftButton);
  EXPECT_EQ(controller.diag_reads, 2);
  EXPECT_EQ(Rows(*dialog.Grid()), (std::vector<std::string>{"1 E 8 0 No Errors", "1 R 8 5 Channel 5"}));
  EXPECT_EQ(dialog.Grid()->CellText(3, 1), "");
  EXPECT_EQ(dialog.SystemStateText(), "Reciever Error");
  EXPECT_EQ(dialog.PartNumberText(), "999999");
  EXPECT_EQ(dialog.DateCodeText(), "2501");
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor ends with the refresh";
}

TEST_F(DiagnosticsTest, RefreshWithoutAnswerWarnsAndKeepsTheDisplay) {
  Boards({{'E', '1', '8', '0'}, {'R', '1', '8', '0'}});
  DiagnosticsOperation op(nullptr, 0, 9600);
  ASSERT_EQ(op.OpenPort(), 1);
  op.ReadDiagnostics();
  CDiagnosticsDlg dialog(&op, nullptr);
  line.Fault(test::Silent());
  dialog.OnRefresh();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Error reading diagnostics");
  EXPECT_EQ(prompter.messages[0].caption, "Kelvo-Tarn");
  EXPECT_EQ(prompter.messages[0].icon, PromptIcon::Warning);
  EXPECT_EQ(prompter.messages[0].buttons, PromptButtons::Ok);
  EXPECT_FALSE(prompter.cursor_shown_during_message[0]);
  EXPECT_EQ(dialog.SystemStateText(), "Operational");
  EXPECT_EQ(Rows(*dialog.Grid()), (std::vector<std::string>{"1 E 8 0 No Errors", "1 R 8 0 No Errors"}));
}

TEST_F(DiagnosticsTest, RefreshWithAWrongHeaderShowsNoBoards) {
  Boards({{'E', '1', '8', '0'}, {'R', '1', '8', '0'}});
  DiagnosticsOperation op(nullptr, 0, 9600);
  ASSERT_EQ(op.OpenPort(), 1);
  op.ReadDiagnostics();
  CDiagnosticsDlg dialog(&op, nullptr);
  // The letter after the controller's id is not the diagnostics reply's.
  controller.diagnostics[2] = 'X';
  dialog.OnRefresh();
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(dialog.SystemStateText(), "Sensor Not Responding");
  EXPECT_EQ(dialog.EmitterCountText(), "No Response From Emitter");
  EXPECT_EQ(dialog.ReceiverCountText(), "No Response From Receiver");
  EXPECT_EQ(dialog.Grid()->GetRowCount(), 0);
}

TEST_F(DiagnosticsTest, DialogCannotBeClosedWhileARefreshWaits) {
  Boards({{'E', '1', '8', '0'}, {'R', '1', '8', '0'}});
  DiagnosticsOperation op(nullptr, 0, 9600);
  ASSERT_EQ(op.OpenPort(), 1);
  op.ReadDiagnostics();
  CDiagnosticsDlg dialog(&op, nullptr);
  dialog.show();
  int attempts = 0;
  controller.intercept = [&](ScriptedController&, ScriptedPort&, const char*, int) {
    // The user presses Escape and Refresh while the controller is asked.
    ++attempts;
    EXPECT_FALSE(dialog.RefreshButton()->isEnabled());
    EXPECT_FALSE(dialog.ExitButton()->isEnabled());
    dialog.reject();
    dialog.OnRefresh();
    return false;
  };
  dialog.OnRefresh();
  controller.intercept = nullptr;
  EXPECT_GT(attempts, 0);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(controller.diag_reads, 2) << "the second Refresh was ignored";
  EXPECT_TRUE(dialog.RefreshButton()->isEnabled());
  EXPECT_EQ(dialog.windowModality(), Qt::WindowModal) << "the guide stays usable beside it";
  EXPECT_TRUE(prompter.messages.empty());
  dialog.reject();
  EXPECT_FALSE(dialog.isVisible());
}

TEST_F(DiagnosticsTest, FirstReadFailingShowsTheMessageAndNoDialog) {
  line.Fault(test::Silent());
  DiagnosticsOperation op(nullptr, 0, 9600);
  bool dialog_seen = false;
  auto watch = test::WhenModal([&dialog_seen](QWidget* modal) {
    dialog_seen = true;
    modal->close();
  }, 200);
  EXPECT_EQ(op.Run(), 0);
  QTest::qWait(20);
  EXPECT_FALSE(dialog_seen);
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Error reading diagnostics");
}

// --- against the simulated controller, through the main window --------------

#ifdef KELVT_SIM_PATH
struct SimSession {
  explicit SimSession(const std::string& boards) : sim(KELVT_SIM_PATH, {"--boards", boards}) {
    if (sim.ok()) config.WriteSettings("[Communication]\nPort=0\n[Devices]\nCOM1=" + sim.path() + "\n");
  }
  test::SimProcess sim;
  test::TempConfigHome config;
};

struct Seen {
  QString state, emitters, receivers, part, date;
  std::vector<std::string> rows;
};

// Presses F2 in the main window and reads the dialog that comes up.
Seen PressF2(CMainFrame& frame, const QString& shot) {
  Seen seen;
  QString shown;
  auto watch = test::WhenModal([&](QWidget* modal) {
    shown = QString::fromLatin1(modal->metaObject()->className());
    if (auto* dialog = qobject_cast<CDiagnosticsDlg*>(modal)) {
      seen = {dialog->SystemStateText(), dialog->EmitterCountText(), dialog->ReceiverCountText(),
              dialog->PartNumberText(), dialog->DateCodeText(), Rows(*dialog->Grid())};
      test::SaveScreenshot(dialog, shot);
      QTest::mouseClick(dialog->ExitButton(), Qt::LeftButton);
    } else {
      modal->close();
    }
  });
  QTest::keyClick(&frame, Qt::Key_F2);
  EXPECT_TRUE(watch.Done());
  EXPECT_EQ(shown, "kelvt::CDiagnosticsDlg");
  return seen;
}

TEST(DiagnosticsSim, TwoEmittersAndTwoReceiversAreOperational) {
  SimSession session("EG*2,RG*2");
  ASSERT_TRUE(session.sim.ok()) << session.sim.error();
  ScriptedPrompter prompter;
  CMainFrame frame;
  frame.show();
  QApplication::setActiveWindow(&frame);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
  const Seen seen = PressF2(frame, QStringLiteral("diagnostics_operational"));
  EXPECT_TRUE(prompter.messages.empty());
  EXPECT_EQ(seen.state, "Operational");
  EXPECT_EQ(seen.emitters, "2");
  EXPECT_EQ(seen.receivers, "2");
  EXPECT_EQ(seen.rows, (std::vector<std::string>{"1 E 16 0 No Errors", "2 E 16 0 No Errors",
                                                 "1 R 16 0 No Errors", "2 R 16 0 No Errors"}));
  EXPECT_EQ(seen.part.size(), 6);
  EXPECT_EQ(seen.date.size(), 4);
}

TEST(DiagnosticsSim, AKindWithoutBoardsAndAnInvalidErrorCode) {
  struct Case {
    const char* boards;
    const char* state;
    const char* emitters;
    const char* receivers;
    std::vector<std::string> rows;
  };
  const Case cases[] = {
      {"E8*2", "Sensor Not Responding", "2", "No Response From Receiver",
       {"1 E 8 0 No Errors", "2 E 8 0 No Errors"}},
      {"E8,R8:Z", "Reciever Error", "1", "1", {"1 E 8 0 No Errors", "1 R 8 Invalid Error Code"}},
  };
  int shot = 0;
  for (const Case& c : cases) {
    SimSession session(c.boards);
    ASSERT_TRUE(session.sim.ok()) << session.sim.error();
    ScriptedPrompter prompter;
    CMainFrame frame;
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    const Seen seen = PressF2(frame, QStringLiteral("diagnostics_case_%1").arg(shot++));
    EXPECT_TRUE(prompter.messages.empty()) << c.boards;
    EXPECT_EQ(seen.state, c.state) << c.boards;
    EXPECT_EQ(seen.emitters, c.emitters) << c.boards;
    EXPECT_EQ(seen.receivers, c.receivers) << c.boards;
    EXPECT_EQ(seen.rows, c.rows) << c.boards;
  }
}

TEST(DiagnosticsSim, ASilentControllerGivesTheMessage) {
  test::SimProcess sim(KELVT_SIM_PATH, {"--silent"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  ScriptedPrompter prompter;
  Operation::SetDeviceOverrides({{0, sim.path()}});
  DiagnosticsOperation op(nullptr, 0, 9600);
  EXPECT_EQ(op.Run(), 0);
  Operation::SetDeviceOverrides({});
  ASSERT_EQ(prompter.messages.size(), 1u);
  EXPECT_EQ(prompter.messages[0].text, "Error reading diagnostics");
}
#endif

}  // namespace
}  // namespace kelvt
