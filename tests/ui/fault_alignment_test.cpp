// Alignment against faulty controllers. Before the alignment set is taken a
// fault ends the command with its message and the controller keeps its own
// set; once it is taken, a fault in the scan loop gives "Unable to Input
// Scan.", Exit still tries to put the saved set back, and when that fails
// the save is offered and the file holds the controller's own set.

#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>

#include "fault_harness.h"
#include "psf/alignment_psf.h"
#include "tools/alignment_dlg.h"
#include "tools/alignment_operation.h"

namespace kelvt::fault {
namespace {

constexpr const char* kScanFailed = "Unable to Input Scan.";

// Run until the loop stops by itself (a failed scan) or after `scans` scans.
void RunScans(CAlignmentDlg* dialog, int scans) {
  QTimer stopper;
  QObject::connect(&stopper, &QTimer::timeout, [&] {
    if (dialog->ScansDone() >= scans) dialog->StopButton()->click();
  });
  stopper.start(0);
  dialog->RunButton()->click();
}

enum class After { kUntouched, kAlignmentSet };

struct AlignCase {
  const char* name;
  sim::SimConfig faults;
  std::vector<std::string> messages;
  bool dialog;
  After held;  // what the controller holds afterwards
  PromptAnswer answer = PromptAnswer::Yes;  // to the restore question
  // Test failures name the case, not its bytes.
  friend void PrintTo(const AlignCase& c, std::ostream* os) { *os << c.name; }
};

class AlignmentFaultTest : public ScriptedFaultTest,
                           public ::testing::WithParamInterface<AlignCase> {
 protected:
  AlignmentFaultTest() {
    sim::SimOptions o;
    o.boards = "EG,RG";
    o.beams = "4-6";
    config = test::SimDefaults(o);
    // The controller's own set differs from the alignment set wherever that changes it.
    sim::Image& psf = config.psf;
    psf[2] = 'j';
    psf[3] = 'A';
    psf[4] = 'D';
    psf[6] = 'b';
    psf[64] = 'g';
    sim::WriteCheckSum(psf);
  }
};

TEST_P(AlignmentFaultTest, MessagesRestoreAndNothingLost) {
  const AlignCase& c = GetParam();
  Fault(c.faults);
  PsfImage original;
  original.FromBytes(Controller().Psf().data(), 0);
  QTemporaryDir dir;
  const std::string path = dir.filePath("own.PSF").toStdString();
  prompter.AnswerQuestions({c.answer});
  prompter.ChooseFiles({path});

  int scans = -1;
  OnModal<CAlignmentDlg> driver([&](CAlignmentDlg* dialog) {
    RunScans(dialog, 3);
    scans = dialog->ScansDone();
    dialog->ExitButton()->click();
  });
  const uint32_t t0 = Now();
  AlignmentOperation operation(nullptr, 0, 9600);
  const int result = operation.Run();
  // Preparation, three scans of three tries, and a restore of three tries at the most.
  EXPECT_LE(Now() - t0, 30000u);

  EXPECT_EQ(result, c.dialog ? 1 : 0);
  EXPECT_EQ(driver.opened, c.dialog ? 1 : 0);
  ASSERT_EQ(Texts(prompter), c.messages);
  for (const RecordedMessage& m : prompter.messages) {
    EXPECT_EQ(m.caption, "Kelvo-Tarn");
    EXPECT_EQ(m.icon, PromptIcon::Stop);
  }
  if (c.dialog) {
    EXPECT_LT(scans, 3) << "the loop ended by itself";
  }

  // After the last scan request: the restore's wake-ups (unless the device
  // is gone, when nothing can be written at all).
  int frames = 0;
  int wakes_after_scans = 0;
  for (const ScriptedPort::Event& e : port_->Events()) {
    if (e.kind != ScriptedPort::EventKind::kWrite || e.moved <= 0) continue;
    if (e.moved == kPsfFrameSize) ++frames;
    if (e.moved == 3) wakes_after_scans = 0;
    if (e.moved == 1) ++wakes_after_scans;
  }
  if (c.held == After::kAlignmentSet) {
    EXPECT_EQ(frames, 1) << "only the alignment set got through";
    if (!Controller().Vanished()) {
      EXPECT_GE(wakes_after_scans, 3) << "the restore was tried";
    }
    PsfImage expected;
    MakeAlignmentPsf(original, expected);
    for (int i = 1; i < 76; ++i) EXPECT_EQ(Controller().Psf()[i], expected[i]) << "byte " << i;
  } else {
    EXPECT_EQ(Held(),
              std::string(original.Data(), kPsfSize));
  }

  // The restore question comes with the save, and Yes leads to a file that
  // holds the controller's own set.
  const bool asked = !c.messages.empty() && c.messages.back() == kRestoreQuestion;
  if (asked) {
    EXPECT_EQ(prompter.messages.back().buttons, PromptButtons::YesNo);
    const bool saved = c.answer == PromptAnswer::Yes;
    EXPECT_EQ(prompter.file_dialogs.size(), saved ? 1u : 0u);
    std::string why;
    if (saved) {
      EXPECT_TRUE(FileHoldsSet(path, original, &why)) << why;
    } else {
      EXPECT_FALSE(QFile::exists(QString::fromStdString(path)));
    }
  } else {
    EXPECT_TRUE(prompter.file_dialogs.empty());
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// Requests of the command: wake, diagnostics, wake, PSF read, wake, the
// alignment set; then one per scan; the restore's wake and set.
INSTANTIATE_TEST_SUITE_P(
    Faults, AlignmentFaultTest,
    ::testing::Values(
        AlignCase{"Silent", Silent(), {"Unable to input Diagnostics."}, false, After::kUntouched},
        AlignCase{"Corrupt", Corrupt(), {"Unable to input Diagnostics."}, false, After::kUntouched},
        AlignCase{"StopsBeforeThePsfRead", StopAfter(2), {"Unable to input psf."}, false,
                  After::kUntouched},
        AlignCase{"VanishesAtThePsfRead", VanishAfter(3), {"Unable to input psf."}, false,
                  After::kUntouched},
        AlignCase{"StopsBeforeTheAlignmentSet", StopAfter(4), {"Unable to output psf."}, false,
                  After::kUntouched},
        AlignCase{"NoAck", NoAck(), {"Unable to output psf."}, false, After::kUntouched},
        // The set is taken but its acknowledgement garbled: the own set must go back.
        AlignCase{"CorruptsTheAcknowledgement", Corrupt(5),
                  {"Unable to output psf.", kRestoreQuestion}, false, After::kAlignmentSet},
        // The set went out and nothing can be read back: its own set is put
        // back (and, the device being gone, offered as a file).
        AlignCase{"VanishesAtTheAlignmentSet", VanishAfter(5),
                  {"Unable to output psf.", kRestoreQuestion}, false, After::kUntouched},
        // Mid-loop: the set was taken, so Exit must try to put the own one back.
        AlignCase{"StopsAtTheFirstScan", StopAfter(6), {kScanFailed, kRestoreQuestion}, true,
                  After::kAlignmentSet},
        AlignCase{"StopsAfterTwoScans", StopAfter(8), {kScanFailed, kRestoreQuestion}, true,
                  After::kAlignmentSet},
        AlignCase{"CorruptsTheScans", Corrupt(6), {kScanFailed, kRestoreQuestion}, true,
                  After::kAlignmentSet},
        AlignCase{"VanishesInTheLoop", VanishAfter(7), {kScanFailed, kRestoreQuestion}, true,
                  After::kAlignmentSet},
        AlignCase{"StopsAndTheSaveIsDeclined", StopAfter(6), {kScanFailed, kRestoreQuestion}, true,
                  After::kAlignmentSet, PromptAnswer::No}),
    [](const ::testing::TestParamInfo<AlignCase>& info) { return std::string(info.param.name); });

// Over a pseudo-terminal: the simulator closes its terminal mid-command.
TEST_F(SimFaultTest, AlignmentVanishingInTheLoopOffersTheOwnSetAndItIsSaved) {
  // Two requests go to reading the own set here, six to the preparation; the
  // first scan finds the terminal closed.
  ASSERT_TRUE(Start(VanishAfter(8), {"--boards", "EG,RG", "--meas1", "LBB"})) << sim_->error();
  PsfImage original;
  ASSERT_TRUE(ReadHeldPsf(sim_->path(), original));
  ASSERT_NE(original[3], 'I');  // not the alignment set's ALL

  QTemporaryDir dir;
  const std::string path = dir.filePath("own.PSF").toStdString();
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({path});
  OnModal<CAlignmentDlg> driver([&](CAlignmentDlg* dialog) {
    RunScans(dialog, 5);
    EXPECT_EQ(dialog->ScansDone(), 0);
    dialog->ExitButton()->click();
  });
  AlignmentOperation operation(nullptr, kPort, 9600);
  EXPECT_EQ(operation.Run(), 1);
  EXPECT_EQ(driver.opened, 1);
  EXPECT_EQ(Texts(prompter), (std::vector<std::string>{kScanFailed, kRestoreQuestion}));
  EXPECT_TRUE(sim_->WaitExit(2000));
  std::string why;
  EXPECT_TRUE(FileHoldsSet(path, original, &why)) << why;
}

TEST_F(SimFaultTest, AlignmentVanishingInThePreparationLeavesNothingToRestore) {
  ASSERT_TRUE(Start(VanishAfter(1))) << sim_->error();
  OnModal<CAlignmentDlg> driver([](CAlignmentDlg* dialog) { dialog->ExitButton()->click(); });
  AlignmentOperation operation(nullptr, kPort, 9600);
  EXPECT_EQ(operation.Run(), 0);
  EXPECT_EQ(driver.opened, 0);
  EXPECT_EQ(Texts(prompter), std::vector<std::string>{"Unable to input Diagnostics."});
  EXPECT_TRUE(prompter.file_dialogs.empty());
  EXPECT_TRUE(sim_->WaitExit(2000));
}

}  // namespace
}  // namespace kelvt::fault
