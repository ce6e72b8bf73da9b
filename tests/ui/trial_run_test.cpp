// The editor's Execute command: the mode check, the saved PSF, the trial set
// with Host Mode and binary forced, the measurement view with its labels and
// mode, and the controller's own set put back afterwards - against a
// scripted controller and, end to end, against kelvt-sim.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>
#include <string>

#include "link/controller_link.h"
#include "ops/set_journal.h"
#include "ops/status_messages.h"
#include "platform/tick.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "serial/posix_serial_port.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"
#include "support/scripted_prompter.h"
#include "support/sim_process.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/psf_config_dlg.h"
#include "tools/spreadsheet.h"

namespace kelvt {
namespace {

using test::ScriptedController;
using test::ScriptedPort;

void Choose(const CPsfConfigDlg& d, const char* list_name, const char* text) {
  auto* list = d.findChild<QComboBox*>(QLatin1String(list_name));
  ASSERT_NE(list, nullptr) << list_name;
  const int index = list->findText(QLatin1String(text));
  ASSERT_GE(index, 0) << text;
  list->setCurrentIndex(index);
  emit list->activated(index);
}

void Click(const CPsfConfigDlg& d, const char* name) {
  auto* button = d.findChild<QAbstractButton*>(QLatin1String(name));
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

bool Checked(const CPsfConfigDlg& d, const char* name) {
  auto* button = d.findChild<QRadioButton*>(QLatin1String(name));
  return button != nullptr && button->isChecked();
}

// Runs `press` (which may open the measurement view modally); while the view
// is up, `inside` runs on it once and Exit closes it. Events may be processed
// before the view opens (the serial layer's waits), so the check repeats
// until the view is there or `press` has returned.
void WhenViewOpens(const std::function<void(CMeasurementDlg&)>& inside,
                   const std::function<void()>& press) {
  QTimer timer;
  timer.setInterval(1);
  bool done = false;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    auto* view = qobject_cast<CMeasurementDlg*>(QApplication::activeModalWidget());
    if (view == nullptr || done) return;
    done = true;
    timer.stop();
    inside(*view);
    QTest::mouseClick(view->ExitButton(), Qt::LeftButton);
  });
  timer.start();
  press();
  timer.stop();
}

// What the test saw of the measurement view while Execute ran it.
struct ViewSeen {
  bool opened = false;
  int mode = -1;
  std::string label1;
  std::string label2;
  std::string row1_value;
  std::string held_psf;  // the controller's set while the view was up
};

class TrialRunTest : public ::testing::Test {
 protected:
  TrialRunTest() : ticks_(&clock_) {
    LastEditedPsf() = PsfRecord();
    Operation::SetPortFactory([this](int, long baud) -> std::unique_ptr<RS232> {
      auto port = std::make_unique<ScriptedPort>(0, baud);
      line_.Attach(*port);
      return port;
    });
    operation_ = std::make_unique<EditPsfOperation>(nullptr, 0, 9600);
    EXPECT_EQ(operation_->OpenPort(), 1);
    original_ = std::string(controller_.psf, kPsfSize);
  }
  ~TrialRunTest() override { Operation::SetPortFactory(nullptr); }

  std::unique_ptr<CPsfConfigDlg> Open() {
    auto dialog = std::make_unique<CPsfConfigDlg>(operation_.get(), nullptr);
    dialog->show();
    return dialog;
  }

  // Presses Execute; when the measurement view opens, `inside` runs on it
  // and then Exit closes it.
  ViewSeen Execute(CPsfConfigDlg& dialog,
                   std::function<void(CMeasurementDlg&)> inside = nullptr) {
    ViewSeen seen;
    WhenViewOpens([&](CMeasurementDlg& view) {
      seen.opened = true;
      seen.mode = view.mode;
      seen.label1 = view.label1;
      seen.label2 = view.label2;
      seen.held_psf = std::string(controller_.psf, kPsfSize);
      if (inside) inside(view);
      seen.row1_value = view.Grid()->CellText(1, 4).toStdString();
    }, [&] { Click(dialog, "executeButton"); });
    return seen;
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : prompter_.messages) texts.push_back(m.text);
    return texts;
  }

  VirtualTickSource clock_;
  ScopedTickSource ticks_;
  ScriptedPrompter prompter_;
  ScriptedController controller_{9600, 'A'};
  test::FaultSwitch line_{controller_};
  std::unique_ptr<EditPsfOperation> operation_;
  std::string original_;
};

TEST_F(TrialRunTest, RefusedModesSendNothingWhileSendPsfSendsTheSameSet) {
  struct Case {
    const char* meas1;
    const char* meas2;
    const char* message;
  };
  const Case cases[] = {
      {"ALL", "None", "At least one meas must not be 'None' and neither can be set to 'All'"},
      {"None", "None", "At least one meas must not be 'None' and neither can be set to 'All'"},
      {"VHS", "None", "Invalid Analysis mode combination."},
  };
  for (const Case& c : cases) {
    LastEditedPsf() = PsfRecord();
    SetField(LastEditedPsf().meas1_mode, c.meas1);
    SetField(LastEditedPsf().meas2_mode, c.meas2);
    auto dialog = Open();
    prompter_.messages.clear();
    const int reads = controller_.psf_reads;
    const int writes = controller_.psf_writes;
    const ViewSeen seen = Execute(*dialog);
    EXPECT_FALSE(seen.opened) << c.meas1;
    ASSERT_EQ(Texts(), std::vector<std::string>{c.message}) << c.meas1;
    EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn") << c.meas1;
    EXPECT_EQ(controller_.psf_reads, reads) << c.meas1;
    EXPECT_EQ(controller_.psf_writes, writes) << c.meas1;

    Click(*dialog, "sendButton");
    EXPECT_EQ(Texts().back(), "PSF Accepted") << c.meas1;
    EXPECT_EQ(controller_.psf_writes, writes + 1) << c.meas1;
    EXPECT_EQ(controller_.psf[3], MeasurementCode(c.meas1)) << c.meas1;
  }
}

TEST_F(TrialRunTest, SendsHostModeAndBinaryAndPutsTheOwnSetBack) {
  auto dialog = Open();
  Choose(*dialog, "meas1List", "TBB");
  Click(*dialog, "asciiButton");
  ASSERT_TRUE(Checked(*dialog, "continuousButton"));
  ASSERT_TRUE(Checked(*dialog, "asciiButton"));
  controller_.scan_payload = std::string("\x01\x2c", 2);  // 300

  const ViewSeen seen = Execute(*dialog, [](CMeasurementDlg& view) {
    QTest::mouseClick(view.StepButton(), Qt::LeftButton);
  });
  ASSERT_TRUE(seen.opened);
  EXPECT_TRUE(prompter_.messages.empty());
  // The trial set: the form's choices except Host Mode and binary.
  ASSERT_EQ(seen.held_psf.size(), static_cast<size_t>(kPsfSize));
  EXPECT_EQ(seen.held_psf[6], 'c');
  EXPECT_EQ(seen.held_psf[64], 'c');
  EXPECT_EQ(seen.held_psf[3], 'E');  // TBB
  EXPECT_EQ(seen.row1_value, "300");
  // Afterwards the controller holds its own set again ...
  EXPECT_EQ(std::string(controller_.psf, kPsfSize), original_);
  EXPECT_EQ(controller_.psf_writes, 2);
  // ... and the form still shows the technician's choices.
  EXPECT_TRUE(Checked(*dialog, "continuousButton"));
  EXPECT_FALSE(Checked(*dialog, "hostModeButton"));
  EXPECT_TRUE(Checked(*dialog, "asciiButton"));
  EXPECT_FALSE(Checked(*dialog, "binaryButton"));
  EXPECT_TRUE(IsSelected(dialog->Working().ascii_tx));
  EXPECT_TRUE(IsSelected(dialog->Working().continuous));
}

TEST_F(TrialRunTest, LabelsAndModeFollowTheMeasurementLists) {
  struct Case {
    const char* meas1;
    const char* meas2;
    int mode;
  };
  const Case cases[] = {{"VHS", "LBB", 1}, {"TBB", "None", 0}, {"FBB", "CBM", 2}, {"None", "LBM", 1}};
  for (const Case& c : cases) {
    auto dialog = Open();
    // Measurement 2 first, so that measurement 1 never meets its twin.
    Choose(*dialog, "meas2List", c.meas2);
    Choose(*dialog, "meas1List", c.meas1);
    const ViewSeen seen = Execute(*dialog);
    ASSERT_TRUE(seen.opened) << c.meas1;
    EXPECT_EQ(seen.mode, c.mode) << c.meas1;
    EXPECT_EQ(seen.label1, c.meas1);
    EXPECT_EQ(seen.label2, c.meas2);
  }
}

TEST_F(TrialRunTest, FailuresBeforeTheViewOpens) {
  struct Case {
    const char* name;
    sim::SimConfig (*fault)();
    const char* message;
    int writes_accepted;
  };
  const Case cases[] = {
      {"controller silent", test::Silent, "Unable to input existing controller's psf.", 0},
      {"trial set refused", test::NoAck, "Unable to output psf.", 0},
  };
  for (const Case& c : cases) {
    test::SimResponder fresh(test::WithFaults(test::SimDefaults(), c.fault()));
    // The operation's port answers through the fresh controller from now on.
    auto* port = static_cast<ScriptedPort*>(operation_->Link()->Port());
    fresh.Attach(*port);
    prompter_.messages.clear();
    auto dialog = Open();
    const ViewSeen seen = Execute(*dialog);
    EXPECT_FALSE(seen.opened) << c.name;
    ASSERT_EQ(Texts(), std::vector<std::string>{c.message}) << c.name;
    EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn") << c.name;
    EXPECT_EQ(fresh.PsfsTaken(), c.writes_accepted) << c.name;
    line_.Attach(*port);
  }
}

TEST_F(TrialRunTest, FailedRestoreOffersToSaveTheOwnSet) {
  QTemporaryDir dir;
  const std::string path = dir.filePath("own.PSF").toStdString();
  PsfRecord own;
  SetField(own.meas1_mode, "CBB");
  char bytes[kPsfSize + 1];
  own.Encode(bytes);
  std::memcpy(controller_.psf, bytes, kPsfSize);

  auto dialog = Open();
  prompter_.AnswerQuestions({PromptAnswer::Yes});
  prompter_.ChooseFiles({path});
  const ViewSeen seen = Execute(*dialog, [this](CMeasurementDlg&) { line_.Fault(test::Silent()); });
  ASSERT_TRUE(seen.opened);
  ASSERT_EQ(Texts(), std::vector<std::string>{
                         "Unable to restore original psf.\nDo you want to save the original Psf to a file?"});
  EXPECT_EQ(prompter_.messages[0].buttons, PromptButtons::YesNo);
  EXPECT_EQ(prompter_.messages[0].icon, PromptIcon::Stop);
  EXPECT_EQ(prompter_.messages[0].caption, "Kelvo-Tarn");
  PsfRecord saved;
  ASSERT_EQ(ReadPsfFile(saved, path.c_str()), 1);
  EXPECT_STREQ(saved.meas1_mode, "CBB");
}

// After a restore that failed (and No to a file, trusting the journal), the
// controller runs the trial set: a second Execute must not keep that as its
// own. It puts the own set back first, and refuses while that fails.
TEST_F(TrialRunTest, ASecondExecuteAfterAFailedRestoreKeepsTheOwnSetOwed) {
  QTemporaryDir dir;
  SetJournal journal(dir.path().toStdString());
  InstallJournal(&journal);
  PsfRecord own_record;
  SetField(own_record.meas1_mode, "CBB");
  char bytes[kPsfSize + 1];
  own_record.Encode(bytes);
  std::memcpy(controller_.psf, bytes, kPsfSize);
  const std::string own(bytes, kPsfSize);
  EditPsfOperation operation(nullptr, 0, 9600);
  ASSERT_EQ(operation.OpenPort(), 1);
  CPsfConfigDlg dialog(&operation, nullptr);
  dialog.show();
  // Every entry holds the own set; `finished` says which are done.
  auto entries = [&journal](std::vector<bool> finished) {
    const std::vector<JournalEntry> all = journal.Entries();  // newest first
    ASSERT_EQ(all.size(), finished.size());
    for (size_t i = 0; i < all.size(); ++i) {
      PsfImage kept;
      ASSERT_EQ(journal.Load(all[i], kept), LoadResult::kOk);
      PsfRecord record;
      record.Decode(kept.Data());
      EXPECT_STREQ(record.meas1_mode, "CBB") << i;  // the trial set runs FBB
      EXPECT_EQ(all[i].finished, finished[i]) << i;
    }
  };

  ASSERT_TRUE(Execute(dialog, [this](CMeasurementDlg&) { line_.Fault(test::Silent()); }).opened);
  ASSERT_EQ(Texts(), std::vector<std::string>{"Unable to restore original psf.\nDo you want to "
                                              "save the original Psf to a file?"});
  entries({false});

  // The controller answers but takes no set: the own set still cannot go back.
  line_.Mend();
  test::SimResponder& refusing = line_.Fault(test::NoAck());
  prompter_.messages.clear();
  EXPECT_FALSE(Execute(dialog).opened);
  ASSERT_EQ(Texts(), (std::vector<std::string>{
                         "Unable to restore original psf.\nDo you want to save the original Psf "
                         "to a file?",
                         kOwnPsfNotBackMessage}));
  EXPECT_EQ(refusing.PsfsTaken(), 0);
  entries({false});

  // A controller that takes sets again: the own set goes back, then the trial runs.
  line_.Mend();
  prompter_.messages.clear();
  const ViewSeen seen = Execute(dialog);
  ASSERT_TRUE(seen.opened);
  EXPECT_TRUE(prompter_.messages.empty());
  EXPECT_NE(seen.held_psf, own);
  EXPECT_EQ(std::string(controller_.psf, kPsfSize), own);
  entries({true, true});
  InstallJournal(nullptr);
}

TEST_F(TrialRunTest, FollowsTheControllerToTheTrialRate) {
  controller_.scan_payload = std::string("\x00\x07", 2);
  auto dialog = Open();
  Choose(*dialog, "baudList", "19200");
  const ViewSeen seen = Execute(*dialog, [](CMeasurementDlg& view) {
    QTest::mouseClick(view.StepButton(), Qt::LeftButton);
  });
  ASSERT_TRUE(seen.opened);
  EXPECT_EQ(seen.held_psf[5], 'B');
  // The scan was answered at 19200.
  EXPECT_EQ(seen.row1_value, "7");
  EXPECT_TRUE(prompter_.messages.empty());
  // The own set (9600) is back, and the controller with it.
  EXPECT_EQ(std::string(controller_.psf, kPsfSize), original_);
  EXPECT_EQ(controller_.baud, 9600);
}

#ifdef KELVT_SIM_PATH
// End to end over a pseudo-terminal: after the trial run the simulator holds
// the set it had before, read back through the real port.
TEST(TrialRunSimTest, ControllerHoldsItsOriginalPsfAfterTheTrialRun) {
  test::SimProcess sim(KELVT_SIM_PATH, {"--beams", "4-6"});
  ASSERT_TRUE(sim.ok()) << sim.error();
  ScriptedPrompter prompter;
  LastEditedPsf() = PsfRecord();
  const std::string device = sim.path();
  Operation::SetPortFactory([device](int, long baud) -> std::unique_ptr<RS232> {
    return std::make_unique<PosixSerialPort>(device, 0, baud, 'E', 8, 1, 0, 0, 0, 0, 0);
  });
  EditPsfOperation operation(nullptr, 0, 9600);
  ASSERT_EQ(operation.OpenPort(), 1);
  PsfImage before;
  ASSERT_EQ(operation.Link()->InputPsf(before), 1);

  CPsfConfigDlg dialog(&operation, nullptr);
  dialog.show();
  Choose(dialog, "meas1List", "TBB");
  Choose(dialog, "meas2List", "LBB");
  std::string present1;
  std::string present2;
  WhenViewOpens(
      [&](CMeasurementDlg& view) {
        QTest::mouseClick(view.StepButton(), Qt::LeftButton);
        present1 = view.Grid()->CellText(1, 4).toStdString();
        present2 = view.Grid()->CellText(2, 4).toStdString();
        QDir().mkpath(KELVT_SCREENSHOT_DIR);
        view.grab().save(QStringLiteral(KELVT_SCREENSHOT_DIR "/trial_run_sim.png"));
      },
      [&] { Click(dialog, "executeButton"); });
  Operation::SetPortFactory(nullptr);

  EXPECT_TRUE(prompter.messages.empty()) << prompter.messages[0].text;
  EXPECT_EQ(present1, "3");  // beams 4 to 6 broken
  EXPECT_EQ(present2, "6");
  PsfImage after;
  ASSERT_EQ(operation.Link()->InputPsf(after), 1);
  EXPECT_EQ(after, before);
}
#endif

}  // namespace
}  // namespace kelvt
