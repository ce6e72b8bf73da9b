// The PSF editor's controller commands against faulty controllers: Upload,
// Send PSF, Execute (the trial run and its restore) and Null/Span (opening
// and the three updates). Each fault gives the command's own message, ends
// in bounded time, and where Execute had put its trial set into the
// controller the restore is tried and the save offered, so that the
// controller's own set ends up in a file.

#include <QAbstractButton>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstring>

#include "fault_harness.h"
#include "ops/status_messages.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/null_span_dlg.h"
#include "tools/psf_config_dlg.h"

namespace kelvt::fault {
namespace {

void Click(QWidget* dialog, const char* name) {
  auto* button = dialog->findChild<QAbstractButton*>(QLatin1String(name));
  ASSERT_NE(button, nullptr) << name;
  button->click();
}

enum class Command { kUpload, kSend, kExecute, kNullSpanOpen, kNullSpanUpdates };

const char* CommandButton(Command c) {
  switch (c) {
    case Command::kUpload: return "uploadButton";
    case Command::kSend: return "sendButton";
    case Command::kExecute: return "executeButton";
    case Command::kNullSpanOpen:
    case Command::kNullSpanUpdates: return "nullSpanButton";
  }
  return "";
}

// What the controller holds after the command.
// kOwnSetOffered: the controller kept its own set, but the tool could not
// tell (the device vanished after the trial set went out), so it offered the
// own set as a file.
enum class Holds { kOwnSet, kOwnSetOffered, kTrialSet, kSentSet };

struct EditCase {
  const char* name;
  Command command;
  sim::SimConfig faults;
  std::vector<std::string> messages;
  int nested = 0;  // the measurement view or the null/span dialog opened
  Holds holds = Holds::kOwnSet;
  // Test failures name the case, not its bytes.
  friend void PrintTo(const EditCase& c, std::ostream* os) { *os << c.name; }
};

constexpr const char* kOwn = "Kelvo-Tarn 2.0";
constexpr const char* kApp = "Kelvo-Tarn";

// The caption each message of the editor's commands carries.
const char* CaptionOf(const std::string& text) {
  if (text == "Unable to input existing controller's psf." || text == "Unable to output psf." ||
      text == "Could not input scan" || text == kRestoreQuestion) {
    return kApp;
  }
  return kOwn;
}

class EditPsfFaultTest : public ScriptedFaultTest, public ::testing::WithParamInterface<EditCase> {
 protected:
  EditPsfFaultTest() {
    LastEditedPsf() = PsfRecord();  // FBB and None: a trial the modes allow
    // The controller's own set: CBB, so that it differs from the trial set.
    PsfRecord own;
    SetField(own.meas1_mode, "CBB");
    char bytes[kPsfSize + 1];
    own.Encode(bytes);
    std::memcpy(config.psf.data(), bytes, kPsfSize);
    original_.FromBytes(config.psf.data(), 0);
  }

  PsfImage original_;
};

TEST_P(EditPsfFaultTest, MessageRestoreAndBoundedTime) {
  const EditCase& c = GetParam();
  Fault(c.faults);
  QTemporaryDir dir;
  const std::string path = dir.filePath("own.PSF").toStdString();
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({path});

  int nested = 0;
  OnModal<CMeasurementDlg> view([&](CMeasurementDlg* d) {
    ++nested;
    d->StepButton()->click();
    d->StepButton()->click();
    d->ExitButton()->click();
  });
  OnModal<CNullSpanDlg> null_span([&](CNullSpanDlg* d) {
    ++nested;
    if (c.command == Command::kNullSpanUpdates) {
      d->NullUpdateButton()->click();
      d->SpanUpdateButton()->click();
      d->OkButton()->click();
    } else {
      d->CancelButton()->click();
    }
  });
  uint32_t elapsed = 0;
  OnModal<CPsfConfigDlg> editor([&](CPsfConfigDlg* d) {
    const uint32_t t0 = Now();
    Click(d, CommandButton(c.command));
    elapsed = Now() - t0;
    // An upload changed the set shown: Quit asks before dropping it.
    const size_t shown = prompter.messages.size();
    prompter.AnswerQuestions({PromptAnswer::Yes});
    Click(d, "quitButton");
    if (prompter.messages.size() > shown &&
        prompter.messages.back().text == "Discard the changes to the PSF?") {
      prompter.messages.pop_back();
    }
  });
  EditPsfOperation operation(nullptr, 0, 9600);
  EXPECT_EQ(operation.Run(), 1);
  ASSERT_EQ(editor.opened, 1);
  // The longest: Execute with a read, a send, two scans and a restore, each
  // failing after all its tries.
  EXPECT_LE(elapsed, 30000u);

  EXPECT_EQ(nested, c.nested);
  ASSERT_EQ(Texts(prompter), c.messages);
  for (const RecordedMessage& m : prompter.messages) EXPECT_EQ(m.caption, CaptionOf(m.text)) << m.text;

  const std::string held = Held();
  if (c.holds == Holds::kTrialSet) {
    EXPECT_EQ(held[6], 'c');  // Host Mode: the trial set is still there
    ASSERT_EQ(prompter.file_dialogs.size(), 1u);
    std::string why;
    EXPECT_TRUE(FileHoldsSet(path, original_, &why)) << why;
  } else if (c.holds == Holds::kOwnSetOffered) {
    EXPECT_EQ(held, std::string(original_.Data(), kPsfSize));
    ASSERT_EQ(prompter.file_dialogs.size(), 1u);
    std::string why;
    EXPECT_TRUE(FileHoldsSet(path, original_, &why)) << why;
  } else if (c.holds == Holds::kSentSet) {
    // Taken, but the acknowledgement came garbled: the set is the edited one,
    // and the user was told it was not accepted.
    EXPECT_EQ(held[3], 'A');  // FBB
    EXPECT_TRUE(prompter.file_dialogs.empty());
  } else {
    EXPECT_EQ(held, std::string(original_.Data(), kPsfSize));
    EXPECT_TRUE(prompter.file_dialogs.empty());
  }
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

const std::vector<std::string> kNotActive{"Serial interface is not active"};
const std::string kUnable = "We are unable to establish the Serial Interface";
const std::string kNotProperly = "The Serial Interface is not functioning properly";

// Requests: Upload and Send a wake-up and the PSF frame; Execute a wake-up
// and read, a wake-up and the trial set, one per Step, the restore's wake-up
// and set; Null/Span a wake-up and the read frame, then one per update.
INSTANTIATE_TEST_SUITE_P(
    Faults, EditPsfFaultTest,
    ::testing::Values(
        EditCase{"UploadSilent", Command::kUpload, Silent(), {"PSF Was Not Received"}},
        EditCase{"UploadStops", Command::kUpload, StopAfter(1), {"PSF Was Not Received"}},
        EditCase{"UploadCorrupt", Command::kUpload, Corrupt(), {"PSF Was Not Received"}},
        EditCase{"UploadCorruptReply", Command::kUpload, Corrupt(1), {"PSF Was Not Received"}},
        EditCase{"UploadVanishes", Command::kUpload, VanishAfter(1), {"PSF Was Not Received"}},
        EditCase{"UploadNoAckIsHarmless", Command::kUpload, NoAck(), {"Uploaded PSF"}},
        EditCase{"SendSilent", Command::kSend, Silent(), {"PSF Not Accepted"}},
        // Send: a wake-up, the own set read (a wake-up and the read), then the set.
        EditCase{"SendStops", Command::kSend, StopAfter(3), {"PSF Not Accepted"}},
        EditCase{"SendCorrupt", Command::kSend, Corrupt(), {"PSF Not Accepted"}},
        EditCase{"SendCorruptAck", Command::kSend, Corrupt(4), {"PSF Not Accepted"}, 0,
                 Holds::kSentSet},
        EditCase{"SendNoAck", Command::kSend, NoAck(), {"PSF Not Accepted"}},
        EditCase{"SendVanishes", Command::kSend, VanishAfter(3), {"PSF Not Accepted"}},
        // The own set cannot be read: the question; Yes (the first answer) sends
        // without a copy, and the silent controller does not take it.
        EditCase{"SendOwnSetUnreadable", Command::kSend, StopAfter(1),
                 {kSendUnreadQuestion, "PSF Not Accepted"}},
        EditCase{"ExecuteSilent", Command::kExecute, Silent(),
                 {"Unable to input existing controller's psf."}},
        EditCase{"ExecuteCorrupt", Command::kExecute, Corrupt(),
                 {"Unable to input existing controller's psf."}},
        EditCase{"ExecuteStopsBeforeTheTrialSet", Command::kExecute, StopAfter(2),
                 {"Unable to output psf."}},
        EditCase{"ExecuteNoAck", Command::kExecute, NoAck(), {"Unable to output psf."}},
        EditCase{"ExecuteVanishesAtTheTrialSet", Command::kExecute, VanishAfter(3),
                 {"Unable to output psf.", kRestoreQuestion}, 0, Holds::kOwnSetOffered},
        // The trial set is taken but its acknowledgement garbled: the own set
        // goes back at once (and, every reply being garbled, is offered as a file).
        EditCase{"ExecuteCorruptsTheAcknowledgement", Command::kExecute, Corrupt(3),
                 {"Unable to output psf.", kRestoreQuestion}, 0, Holds::kTrialSet},
        // The trial set was taken: the restore follows the view, and fails.
        EditCase{"ExecuteStopsInTheView", Command::kExecute, StopAfter(4),
                 {"Could not input scan", "Could not input scan", kRestoreQuestion}, 1, Holds::kTrialSet},
        EditCase{"ExecuteStopsAfterAStep", Command::kExecute, StopAfter(5),
                 {"Could not input scan", kRestoreQuestion}, 1, Holds::kTrialSet},
        EditCase{"ExecuteCorruptsInTheView", Command::kExecute, Corrupt(4),
                 {"Could not input scan", "Could not input scan", kRestoreQuestion}, 1, Holds::kTrialSet},
        EditCase{"ExecuteVanishesInTheView", Command::kExecute, VanishAfter(5),
                 {"Could not input scan", kRestoreQuestion}, 1, Holds::kTrialSet},
        EditCase{"NullSpanSilent", Command::kNullSpanOpen, Silent(), kNotActive},
        EditCase{"NullSpanStops", Command::kNullSpanOpen, StopAfter(1), kNotActive},
        EditCase{"NullSpanCorrupt", Command::kNullSpanOpen, Corrupt(), kNotActive},
        // The wake-up answered cleanly, the values garbled: no dialog on them.
        EditCase{"NullSpanReadGarbled", Command::kNullSpanOpen, Corrupt(1), kNotActive},
        EditCase{"NullSpanVanishes", Command::kNullSpanOpen, VanishAfter(1), kNotActive},
        EditCase{"NullSpanNoAckIsHarmless", Command::kNullSpanOpen, NoAck(), {}, 1},
        // Each update reads the values first (a wake-up and the read frame):
        // once that fails, the question comes instead: Yes (the first answer)
        // sends to the silent controller, No sends nothing.
        EditCase{"UpdatesUnanswered", Command::kNullSpanUpdates, StopAfter(4),
                 {kUnable, kSendUnreadQuestion, kUnable, kSendUnreadQuestion}, 1},
        EditCase{"UpdatesAfterAVanish", Command::kNullSpanUpdates, VanishAfter(4),
                 {kUnable, kSendUnreadQuestion, kUnable, kSendUnreadQuestion}, 1},
        EditCase{"UpdatesCorrupt", Command::kNullSpanUpdates, Corrupt(4),
                 {kNotProperly, kSendUnreadQuestion, kUnable, kSendUnreadQuestion}, 1},
        EditCase{"SecondUpdateUnanswered", Command::kNullSpanUpdates, StopAfter(7),
                 {kUnable, kSendUnreadQuestion, kUnable}, 1},
        EditCase{"UpdatesNoAckIsHarmless", Command::kNullSpanUpdates, NoAck(), {}, 1}),
    [](const ::testing::TestParamInfo<EditCase>& info) { return std::string(info.param.name); });

// Over a pseudo-terminal: the simulator closes its terminal mid-command.
struct SimEditCase {
  const char* name;
  Command command;
  int vanish_after;
  std::vector<std::string> messages;
  bool trial_held;
  // Test failures name the case, not its bytes.
  friend void PrintTo(const SimEditCase& c, std::ostream* os) { *os << c.name; }
};

class EditPsfSimFaultTest : public SimFaultTest, public ::testing::WithParamInterface<SimEditCase> {};

TEST_P(EditPsfSimFaultTest, VanishingControllerGivesTheMessageAndLosesNothing) {
  const SimEditCase& c = GetParam();
  // Two requests go to reading the own set first.
  ASSERT_TRUE(Start(VanishAfter(c.vanish_after + 2), {"--meas1", "CBB", "--meas2", "None"}))
      << sim_->error();
  PsfImage original;
  ASSERT_TRUE(ReadHeldPsf(sim_->path(), original));
  LastEditedPsf() = PsfRecord();
  QTemporaryDir dir;
  const std::string path = dir.filePath("own.PSF").toStdString();
  prompter.AnswerQuestions({PromptAnswer::Yes});
  prompter.ChooseFiles({path});

  OnModal<CMeasurementDlg> view([](CMeasurementDlg* d) {
    d->StepButton()->click();
    d->ExitButton()->click();
  });
  OnModal<CNullSpanDlg> null_span([](CNullSpanDlg* d) {
    d->NullUpdateButton()->click();
    d->OkButton()->click();
  });
  OnModal<CPsfConfigDlg> editor([&](CPsfConfigDlg* d) {
    Click(d, CommandButton(c.command));
    Click(d, "quitButton");
  });
  EditPsfOperation operation(nullptr, kPort, 9600);
  EXPECT_EQ(operation.Run(), 1);
  EXPECT_EQ(Texts(prompter), c.messages);
  EXPECT_TRUE(sim_->WaitExit(2000));
  if (c.trial_held) {
    std::string why;
    EXPECT_TRUE(FileHoldsSet(path, original, &why)) << why;
  } else {
    EXPECT_TRUE(prompter.file_dialogs.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, EditPsfSimFaultTest,
    ::testing::Values(
        SimEditCase{"Upload", Command::kUpload, 1, {"PSF Was Not Received"}, false},
        SimEditCase{"Send", Command::kSend, 1, {kSendUnreadQuestion, "PSF Not Accepted"}, false},
        SimEditCase{"ExecuteInTheView", Command::kExecute, 4,
                    {"Could not input scan", kRestoreQuestion}, true},
        SimEditCase{"NullSpanUpdate", Command::kNullSpanUpdates, 2,
                    {kSendUnreadQuestion, kUnable, kSendUnreadQuestion},
                    false}),
    [](const ::testing::TestParamInfo<SimEditCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kelvt::fault
