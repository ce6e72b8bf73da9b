// Set Part Number against faulty controllers: a fault before the set is read
// gives "Unable to input PSF." and sends nothing; one after gives "Unable to
// output PSF.". Each ends in bounded time with the message in a plain box.

#include <QListWidget>
#include <QPushButton>

#include "fault_harness.h"
#include "tools/part_number_dlg.h"
#include "tools/part_number_operation.h"
#include "ui/support/ui_test_util.h"

namespace kelvt::fault {
namespace {

constexpr const char* kNotRead = "Unable to input PSF.";
constexpr const char* kNotSent = "Unable to output PSF.";

enum class HeldAfter { kOwn, kStamped };

struct StampCase {
  const char* name;
  sim::SimConfig faults;
  const char* message;
  int frames_sent;  // stamped sets written (the link's tries)
  HeldAfter held;
  // A send that went out unconfirmed and a controller that cannot then be read
  // (or holds another set) get the own set back, and here that fails too.
  bool restore_failed = false;
  // Test failures name the case, not its bytes.
  friend void PrintTo(const StampCase& c, std::ostream* os) { *os << c.name; }
};

class PartNumberFaultTest : public ScriptedFaultTest,
                            public ::testing::WithParamInterface<StampCase> {
 protected:
  PartNumberFaultTest() { config_.WriteSettings("[PartNumbers]\nP1=QX7723\n"); }

  test::TempConfigHome config_;
};

TEST_P(PartNumberFaultTest, MessageAndBoundedTime) {
  const StampCase& c = GetParam();
  Fault(c.faults);
  const std::string own = Held();
  OnModal<CPartNumberDlg> driver([](CPartNumberDlg* d) {
    d->PartNumberList()->setCurrentRow(0);
    d->OkButton()->click();
  });
  const uint32_t t0 = Now();
  PartNumberOperation operation(nullptr, 0, 9600);
  EXPECT_EQ(operation.Run(), 1);
  // A read and a send of three tries at the most.
  EXPECT_LE(Now() - t0, 12000u);
  ASSERT_EQ(driver.opened, 1);

  std::vector<std::string> expected{c.message};
  if (c.restore_failed) expected.push_back(kRestoreQuestion);
  ASSERT_EQ(Texts(prompter), expected);
  EXPECT_EQ(prompter.messages[0].caption, "Kelvo-Tarn");
  EXPECT_EQ(prompter.messages[0].icon, PromptIcon::None);
  EXPECT_EQ(prompter.messages[0].buttons, PromptButtons::Ok);

  int frames = 0;
  for (const ScriptedPort::Event& e : port_->Events()) {
    if (e.kind == ScriptedPort::EventKind::kWrite && e.moved == kPsfFrameSize) ++frames;
  }
  EXPECT_EQ(frames, c.frames_sent);
  if (c.held == HeldAfter::kOwn) {
    EXPECT_EQ(Held(), own);
  } else {
    EXPECT_EQ(Held().substr(66, 6), "QX7723");
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Requests: wake-up, PSF read, wake-up, the stamped set.
INSTANTIATE_TEST_SUITE_P(
    Faults, PartNumberFaultTest,
    ::testing::Values(
        StampCase{"Silent", Silent(), kNotRead, 0, HeldAfter::kOwn},
        StampCase{"Corrupt", Corrupt(), kNotRead, 0, HeldAfter::kOwn},
        StampCase{"StopsBeforeTheRead", StopAfter(1), kNotRead, 0, HeldAfter::kOwn},
        StampCase{"VanishesAtTheRead", VanishAfter(1), kNotRead, 0, HeldAfter::kOwn},
        StampCase{"CorruptRead", Corrupt(1), kNotRead, 0, HeldAfter::kOwn},
        StampCase{"StopsBeforeTheSend", StopAfter(2), kNotSent, 0, HeldAfter::kOwn},
        StampCase{"StopsAtTheSet", StopAfter(3), kNotSent, 1, HeldAfter::kOwn, true},
        StampCase{"NoAck", NoAck(), kNotSent, 3, HeldAfter::kOwn},
        StampCase{"VanishesAtTheSet", VanishAfter(3), kNotSent, 1, HeldAfter::kOwn, true},
        // Taken, but the acknowledgement arrives garbled: the link tries twice
        // more (the controller's wake-up replies are garbled too) and says so.
        StampCase{"CorruptAck", Corrupt(3), kNotSent, 1, HeldAfter::kStamped, true}),
    [](const ::testing::TestParamInfo<StampCase>& info) { return std::string(info.param.name); });

TEST_F(SimFaultTest, PartNumberVanishingAtTheSendSaysSoAndEnds) {
  test::TempConfigHome config;
  config.WriteSettings("[PartNumbers]\nP1=QX7723\n");
  ASSERT_TRUE(Start(VanishAfter(3))) << sim_->error();
  OnModal<CPartNumberDlg> driver([](CPartNumberDlg* d) { d->OkButton()->click(); });
  PartNumberOperation operation(nullptr, kPort, 9600);
  EXPECT_EQ(operation.Run(), 1);
  EXPECT_EQ(Texts(prompter), (std::vector<std::string>{kNotSent, kRestoreQuestion}));
  EXPECT_TRUE(sim_->WaitExit(2000));
}

}  // namespace
}  // namespace kelvt::fault
