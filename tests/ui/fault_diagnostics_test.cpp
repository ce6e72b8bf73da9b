// Diagnostics against faulty controllers: silent, stopping mid-command,
// corrupting, never acknowledging, vanishing - at the first read and at a
// Refresh in the open dialog. Each gives "Error reading diagnostics" (or
// nothing, where the fault does not touch diagnostics), keeps the display
// the decode left, ends in bounded time and never touches the PSF.

#include <QPushButton>

#include "fault_harness.h"
#include "tools/diagnostics_dlg.h"
#include "tools/diagnostics_operation.h"

namespace kelvt::fault {
namespace {


constexpr const char* kError = "Error reading diagnostics";

// What the dialog showed after its Refresh.
struct Shown {
  std::string state, emitters, receivers;
};

struct DiagCase {
  const char* name;
  sim::SimConfig faults;
  bool dialog;                      // the first read worked
  std::vector<std::string> messages;
  Shown after_refresh;              // when the dialog opened
  // Test failures name the case, not its bytes.
  friend void PrintTo(const DiagCase& c, std::ostream* os) { *os << c.name; }
};

class DiagnosticsFaultTest : public ScriptedFaultTest,
                             public ::testing::WithParamInterface<DiagCase> {};

TEST_P(DiagnosticsFaultTest, MessageDisplayAndBoundedTime) {
  const DiagCase& c = GetParam();
  config = test::SimDefaults([] {
    sim::SimOptions o;
    o.boards = "EG,EG,RG,RG";
    return o;
  }());
  Fault(c.faults);
  const std::string before = Held();

  Shown shown;
  OnModal<CDiagnosticsDlg> driver([&](CDiagnosticsDlg* dialog) {
    EXPECT_EQ(dialog->SystemStateText(), "Operational");
    dialog->RefreshButton()->click();
    shown = {dialog->SystemStateText().toStdString(), dialog->EmitterCountText().toStdString(),
             dialog->ReceiverCountText().toStdString()};
    dialog->ExitButton()->click();
  });
  const uint32_t t0 = Now();
  DiagnosticsOperation operation(nullptr, 0, 9600);
  const int result = operation.Run();
  // Two searches of three rates and two diagnostics windows at the most.
  EXPECT_LE(Now() - t0, 6000u);

  EXPECT_EQ(result, c.dialog ? 1 : 0);
  EXPECT_EQ(driver.opened, c.dialog ? 1 : 0);
  EXPECT_EQ(Texts(prompter), c.messages);
  for (const RecordedMessage& m : prompter.messages) {
    EXPECT_EQ(m.caption, "Kelvo-Tarn");
    EXPECT_EQ(m.icon, PromptIcon::Warning);
    EXPECT_EQ(m.buttons, PromptButtons::Ok);
  }
  if (c.dialog) {
    EXPECT_EQ(shown.state, c.after_refresh.state);
    EXPECT_EQ(shown.emitters, c.after_refresh.emitters);
    EXPECT_EQ(shown.receivers, c.after_refresh.receivers);
  }
  EXPECT_EQ(Controller().PsfsTaken(), 0);
  EXPECT_EQ(Held(), before);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

const Shown kKept{"Operational", "2", "2"};
const Shown kNoBoards{"Sensor Not Responding", "No Response From Emitter", "No Response From Receiver"};

INSTANTIATE_TEST_SUITE_P(
    Faults, DiagnosticsFaultTest,
    ::testing::Values(
        DiagCase{"Silent", Silent(), false, {kError}, {}},
        DiagCase{"StopsBeforeTheReply", StopAfter(1), false, {kError}, {}},
        DiagCase{"Corrupt", Corrupt(), false, {kError}, {}},
        DiagCase{"VanishesAtOnce", VanishAfter(0), false, {kError}, {}},
        DiagCase{"VanishesAtTheRequest", VanishAfter(1), false, {kError}, {}},
        // Diagnostics carry no PSF: a controller that takes none works.
        DiagCase{"NoAckIsHarmless", NoAck(), true, {}, kKept},
        // Faults at the Refresh: the display keeps what the record kept.
        DiagCase{"StopsAtRefresh", StopAfter(2), true, {kError}, kKept},
        DiagCase{"StopsMidRefresh", StopAfter(3), true, {kError}, kKept},
        DiagCase{"VanishesAtRefresh", VanishAfter(2), true, {kError}, kKept},
        DiagCase{"VanishesMidRefresh", VanishAfter(3), true, {kError}, kKept},
        DiagCase{"CorruptWakeAtRefresh", Corrupt(2), true, {kError}, kKept},
        // A garbled header: the decode clears the boards, and the dialog says so.
        DiagCase{"CorruptReplyAtRefresh", Corrupt(3), true, {kError}, kNoBoards}),
    [](const ::testing::TestParamInfo<DiagCase>& info) { return std::string(info.param.name); });

// Over a pseudo-terminal: the simulator with each fault.
struct SimDiagCase {
  const char* name;
  sim::SimConfig faults;
  bool dialog;
  bool exits;  // the simulator ended (vanished)
  // Test failures name the case, not its bytes.
  friend void PrintTo(const SimDiagCase& c, std::ostream* os) { *os << c.name; }
};

class DiagnosticsSimFaultTest : public SimFaultTest,
                                public ::testing::WithParamInterface<SimDiagCase> {};

TEST_P(DiagnosticsSimFaultTest, MessageAndNoHang) {
  const SimDiagCase& c = GetParam();
  ASSERT_TRUE(Start(c.faults)) << sim_->error();
  bool refreshed = false;
  OnModal<CDiagnosticsDlg> driver([&](CDiagnosticsDlg* dialog) {
    dialog->RefreshButton()->click();
    refreshed = true;
    EXPECT_EQ(dialog->SystemStateText(), "Operational");
    dialog->ExitButton()->click();
  });
  DiagnosticsOperation operation(nullptr, kPort, 9600);
  EXPECT_EQ(operation.Run(), c.dialog ? 1 : 0);
  EXPECT_EQ(refreshed, c.dialog);
  EXPECT_EQ(Texts(prompter), std::vector<std::string>{kError});
  if (c.exits) {
    EXPECT_TRUE(sim_->WaitExit(2000));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, DiagnosticsSimFaultTest,
    ::testing::Values(SimDiagCase{"Silent", Silent(), false, false},
                      SimDiagCase{"VanishesAtOnce", VanishAfter(0), false, true},
                      SimDiagCase{"VanishesAtRefresh", VanishAfter(2), true, true}),
    [](const ::testing::TestParamInfo<SimDiagCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt::fault
