#include "tools/psf_config_dlg.h"

#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "gui/active_dialog.h"
#include "gui/prompter.h"
#include "link/controller_link.h"
#include "psf/psf_file.h"
#include "psf/psf_image.h"
#include "ops/confirmed_read.h"
#include "ops/journaled_send.h"
#include "ops/psf_fields.h"
#include "ops/psf_report.h"
#include "ops/scan_csv.h"
#include "ops/status_messages.h"
#include "ops/trial_run_steps.h"
#include "psf/trial_run.h"
#include "tools/edit_psf_operation.h"
#include "tools/measurement_dlg.h"
#include "tools/null_span_dlg.h"
#include "tools/psf_config_bindings.h"
#include "tools/psf_report_dlg.h"

namespace kelvt {

PsfRecord& LastEditedPsf() {
  static PsfRecord last_edited_psf;
  return last_edited_psf;
}

using namespace psf_config;

namespace {

std::string NowIsoTime() {
  char time[kIsoTimeSize];
  FormatIsoTime(NowWallTime(), time, sizeof time);
  return time;
}

QString FieldText(const BoxFieldRef& f) {
  const int n = static_cast<int>(strnlen(f.data, static_cast<size_t>(f.size)));
  return QString::fromLatin1(f.data, n);
}

// At most 4 characters of a box, and never more than the field holds.
void StoreText(const BoxFieldRef& f, const QString& text) {
  const QByteArray bytes = text.left(4).toLatin1();
  const int n = std::min<int>(static_cast<int>(bytes.size()), f.size - 1);
  std::memcpy(f.data, bytes.constData(), static_cast<size_t>(n));
  std::memset(f.data + n, 0, static_cast<size_t>(f.size - n));
}

Selection Sel(const QAbstractButton* button) {
  return button->isChecked() ? kSelected : kNotSelected;
}

// Position of an output mode in its list: "1", "2", "Disabled".
int OutputModePosition(const char* mode) {
  if (mode[0] == '1') return 0;
  if (mode[0] == '2') return 1;
  return 2;
}

// Position of an analog source in its list: "Disabled", "Meas1", "Meas2".
int AnalogSourcePosition(const char* source) {
  if (strnlen(source, 5) < 5) return 0;
  if (source[4] == '1') return 1;
  if (source[4] == '2') return 2;
  return 0;
}

// Holds the editor's rule guard while one rule runs; a rule started from
// inside another finds it held and does not run.
class RuleScope {
 public:
  explicit RuleScope(int& flag, bool engage = true) : flag_(flag), held_(engage && flag == 0) {
    if (held_) flag_ = 1;
  }
  ~RuleScope() {
    if (held_) flag_ = 0;
  }
  RuleScope(const RuleScope&) = delete;
  RuleScope& operator=(const RuleScope&) = delete;
  bool Held() const { return held_; }

 private:
  int& flag_;
  bool held_;
};

}  // namespace

CPsfConfigDlg::CPsfConfigDlg(EditPsfOperation* operation, QWidget* parent)
    : LoopDialog(parent), operation(operation) {
  const bool offline = operation == nullptr || operation->Link() == nullptr;
  setWindowTitle(offline ? QStringLiteral("PSF Configuration (offline)")
                         : QStringLiteral("PSF Configuration"));
  working = LastEditedPsf();
  scratch.SetDefaults();
  BuildControls();
  if (offline) DisableControllerCommands();
  ShowOpening();
  ConnectRules();
  SetTabOrder();
  meas1_list_->setFocus();
  changes_.Keep(Shown());
}

QLineEdit* CPsfConfigDlg::Box(ValueBox box) const { return boxes_[BoxIndex(box)].edit; }

void CPsfConfigDlg::ConnectRules() {
  connect(meas1_list_, &QComboBox::activated, this, [this](int) {
    const RuleScope scope(in_rule);
    if (!scope.Held()) return;
    const QByteArray name = meas1_list_->currentText().toLatin1();
    ApplyRule(SelectMeasurement1(working, name.constData()));
  });
  connect(meas2_list_, &QComboBox::activated, this, [this](int) {
    const RuleScope scope(in_rule);
    if (!scope.Held()) return;
    const QByteArray name = meas2_list_->currentText().toLatin1();
    ApplyRule(SelectMeasurement2(working, name.constData()));
  });

  for (const OptionRow& row : kOptionRows) {
    connect(this->*row.button, &QRadioButton::clicked, this, [this, &row] {
      const RuleScope scope(in_rule, row.guarded);
      if (row.guarded && !scope.Held()) {
        ShowSelections();
        return;
      }
      ApplyRule(row.rule(working));
    });
  }
  connect(skip_count_list_, &QComboBox::activated, this,
          [this](int position) { SelectSkipCount(working, position + 1); });

  for (int n = 0; n < 2; ++n) {
    connect(analog_source_list_[n], &QComboBox::activated, this, [this, n](int position) {
      ApplyRule(SelectAnalogSource(working, n + 1, kAnalogSourceChoices[position], true));
    });
    connect(out_mode_list_[n], &QComboBox::activated, this, [this, n](int position) {
      ApplyRule(SelectOutputMode(working, n + 1, kOutputModeChoices[position], true));
    });
  }

  for (const BoxSlot& slot : boxes_) {
    const ValueBox bit = slot.bit;
    connect(slot.edit, &QLineEdit::textEdited, this, [this, bit] { OnBoxEdited(bit); });
  }
}

// --- showing the record ------------------------------------------------------

void CPsfConfigDlg::ShowSelections() {
  meas1_list_->setCurrentIndex(meas1_list_->findText(QString::fromLatin1(working.meas1_mode)));
  meas2_list_->setCurrentIndex(meas2_list_->findText(QString::fromLatin1(working.meas2_mode)));
  for (const OptionRow& row : kOptionRows) {
    (this->*row.button)->setChecked(IsSelected(working.*row.field));
  }
  out_mode_list_[0]->setCurrentIndex(OutputModePosition(working.out1_mode));
  out_mode_list_[1]->setCurrentIndex(OutputModePosition(working.out2_mode));
  analog_source_list_[0]->setCurrentIndex(AnalogSourcePosition(working.analog1_source));
  analog_source_list_[1]->setCurrentIndex(AnalogSourcePosition(working.analog2_source));
  if (skip_count_list_->isEnabled()) ShowSkipCount(true);
}

void CPsfConfigDlg::ShowBox(ValueBox box) {
  Box(box)->setText(FieldText(ValueBoxField(working, box)));
}

void CPsfConfigDlg::ShowSkipCount(bool in_use) {
  skip_count_list_->setEnabled(in_use);
  // Out of use, the list shows no value; skip_count keeps its text.
  const int position = std::clamp(working.skip_count[0] - '1', 0, kMaxSkipCount - 1);
  skip_count_list_->setCurrentIndex(in_use ? position : -1);
}

void CPsfConfigDlg::ApplyStates(const FieldStates& states, unsigned groups) {
  for (int i = 0; i < 21; ++i) {
    if ((groups & kValueBoxes[i].group) != 0) {
      boxes_[i].edit->setEnabled(states.InUse(kValueBoxes[i].group));
    }
  }
  if ((groups & kGroupSkipCount) != 0) ShowSkipCount(states.skip_count);
}

void CPsfConfigDlg::Tell(const char* text, const char* caption) {
  CurrentPrompter().Message(this, text, caption, PromptButtons::Ok, PromptIcon::None);
}

void CPsfConfigDlg::ApplyRule(const RuleResult& result) {
  ShowSelections();
  for (const BoxSlot& slot : boxes_) {
    if ((result.rewritten & slot.bit) != 0) ShowBox(slot.bit);
  }
  ApplyStates(result.states, result.touched);
  if (result.beep) CurrentPrompter().Beep();
  if (result.HasMessage()) Tell(result.message, result.caption);
}

void CPsfConfigDlg::ShowOpening() {
  ShowSelections();
  baud_list_->setCurrentIndex(ValidBaudIndex(working.baud_index));
  controller_list_->setCurrentIndex(std::clamp(working.controller_id[0] - 'A', 0, 14));
  // Every box straight from its own field, the analog scan boxes included.
  for (const BoxSlot& slot : boxes_) ShowBox(slot.bit);
  // The blanking boxes stay in use here, Edge or not.
  ApplyStates(ComputeFieldStates(working),
              kGroupOutput1 | kGroupOutput2 | kGroupAnalog1 | kGroupAnalog2 | kGroupSkipCount |
                  kGroupTriggerValue);
}

void CPsfConfigDlg::Refresh() {
  ShowSelections();
  // A baud byte outside the table shows as 9600, so that nothing but a
  // known rate can be sent back.
  baud_list_->setCurrentIndex(ValidBaudIndex(working.baud_index));
  controller_list_->setCurrentIndex(std::clamp(working.controller_id[0] - 'A', 0, 14));
  for (ValueBox box : {kBoxBlank1Low, kBoxBlank1High, kBoxBlank2Low, kBoxBlank2High,
                       kBoxOut1LowThreshold, kBoxOut1HighThreshold, kBoxOut1LowHysteresis,
                       kBoxOut1HighHysteresis, kBoxOut1Invert, kBoxAnalog1Invert,
                       kBoxAnalog2Invert}) {
    ShowBox(box);
  }
  // One scan count for all: output 1's.
  const QString scan_count = FieldText(ValueBoxField(working, kBoxOut1ScanCount));
  Box(kBoxAnalog1ScanCount)->setText(scan_count);
  Box(kBoxAnalog2ScanCount)->setText(scan_count);
  Box(kBoxOut1ScanCount)->setText(scan_count);

  // A disabled output 2 and the trigger value without Trigger keep what their
  // boxes show, and the record takes it.
  const unsigned kept = BoxesKeptFromView(working);
  for (ValueBox box : {kBoxOut2LowThreshold, kBoxOut2HighThreshold, kBoxOut2LowHysteresis,
                       kBoxOut2HighHysteresis, kBoxOut2Invert, kBoxTriggerValue}) {
    if ((kept & box) != 0) {
      StoreText(ValueBoxField(working, box), Box(box)->text());
    } else {
      ShowBox(box);
    }
  }
  if ((kept & kBoxOut2LowThreshold) != 0) {
    Box(kBoxOut2ScanCount)->setText(scan_count);
  } else {
    ShowBox(kBoxOut2ScanCount);
  }
  ApplyStates(ComputeFieldStates(working), kAllGroups);
}

void CPsfConfigDlg::ReadBack() { ReadBackInto(working); }

PsfRecord CPsfConfigDlg::Shown() const {
  PsfRecord shown = working;
  ReadBackInto(shown);
  return shown;
}

void CPsfConfigDlg::ReadBackInto(PsfRecord& r) const {
  if (meas1_list_->currentIndex() >= 0) {
    SetField(r.meas1_mode, meas1_list_->currentText().toLatin1().constData());
  }
  if (meas2_list_->currentIndex() >= 0) {
    SetField(r.meas2_mode, meas2_list_->currentText().toLatin1().constData());
  }
  for (const OptionRow& row : kOptionRows) r.*row.field = Sel(this->*row.button);

  r.baud_index = std::max(0, baud_list_->currentIndex());
  const char letter[2] = {static_cast<char>('A' + std::max(0, controller_list_->currentIndex())),
                          '\0'};
  SetField(r.controller_id, letter);

  for (const BoxSlot& slot : boxes_) StoreText(ValueBoxField(r, slot.bit), slot.edit->text());

  SetField(r.out1_mode, kOutputModeChoices[std::max(0, out_mode_list_[0]->currentIndex())]);
  SetField(r.out2_mode, kOutputModeChoices[std::max(0, out_mode_list_[1]->currentIndex())]);
  SetField(r.analog1_source, kAnalogSourceChoices[std::max(0, analog_source_list_[0]->currentIndex())]);
  SetField(r.analog2_source, kAnalogSourceChoices[std::max(0, analog_source_list_[1]->currentIndex())]);

  ApplyEdgeBlanking(r);
}

// --- text boxes ----------------------------------------------------------------

void CPsfConfigDlg::OnBoxEdited(ValueBox box) {
  const ValueBoxInfo& info = ValueBoxInfoOf(box);
  QLineEdit* edit = Box(box);
  const std::string text = edit->text().toStdString();
  switch (info.kind) {
    case BoxKind::kScanCount:
      ApplyRule(NormalizeScanCount(working, info.scan_box, text));
      return;
    case BoxKind::kInvert: {
      const TypedText typed = NormalizeInvert(text);
      if (typed.rewrite) edit->setText(QString::fromStdString(typed.text));
      break;
    }
    default: {
      const TypedText typed = FilterDigits(text);
      if (typed.rewrite) edit->setText(QString::fromStdString(typed.text));
      break;
    }
  }
  StoreText(ValueBoxField(working, box), edit->text());
}

void CPsfConfigDlg::OnBoxLeft(ValueBox box) {
  const BoxKind kind = ValueBoxInfoOf(box).kind;
  const bool guarded = kind == BoxKind::kBlankingLow || kind == BoxKind::kBlankingHigh ||
                       kind == BoxKind::kSetPointLow || kind == BoxKind::kSetPointHigh;
  const RuleScope scope(in_rule, guarded);
  if (guarded && !scope.Held()) return;
  // The rule reads the record: bring this box's field up to date first.
  StoreText(ValueBoxField(working, box), Box(box)->text());
  ApplyRule(LeaveValueBox(working, box));
}

bool CPsfConfigDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    // The window losing activation (another window, a message box, a menu)
    // is not the technician leaving the box: the focus comes back to it.
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      for (const BoxSlot& slot : boxes_) {
        if (watched == slot.edit) OnBoxLeft(slot.bit);
      }
    }
  }
  return LoopDialog::eventFilter(watched, event);
}

void CPsfConfigDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter confirms, it never closes the editor: a focused command button
    // takes it, a text box is finished (left, so its rule runs).
    QWidget* focus = focusWidget();
    if (auto* button = qobject_cast<QPushButton*>(focus)) {
      button->click();
    } else if (std::any_of(boxes_.begin(), boxes_.end(),
                           [focus](const BoxSlot& slot) { return slot.edit == focus; })) {
      focusNextChild();
    }
    event->accept();
    return;
  }
  LoopDialog::keyPressEvent(event);  // Escape: reject, the same as Quit
}

void CPsfConfigDlg::reject() {
  // While a command runs the dialog refuses to close anyway: no question then.
  if (!LoopRunning() && changes_.Changed(Shown())) {
    const PromptAnswer answer =
        CurrentPrompter().Message(this, "Discard the changes to the PSF?", kWindowCaption,
                                  PromptButtons::YesNo, PromptIcon::Question);
    if (answer != PromptAnswer::Yes) return;
  }
  LoopDialog::reject();
}

// --- commands ------------------------------------------------------------------

void CPsfConfigDlg::OnUpload() {
  if (LoopRunning()) return;
  {
    CommandScope command(*this);
    WaitCursor wait;
    PsfImage image;
    ControllerLink* link = operation->Link();
    // Confirmed like every set kept from the controller.
    const bool received = link != nullptr && ReadConfirmedPsf(*link, image) != 0;
    wait.Release();
    if (received) {
      scratch.Decode(image.Data());
      working = scratch;
      Refresh();
      NoteReportOrigin("Controller on COM" + std::to_string(operation->PortNumber() + 1) +
                           ", read " + NowIsoTime(),
                       image);
      Tell("Uploaded PSF", kWindowCaption);
    } else {
      Tell("PSF Was Not Received", kWindowCaption);
    }
  }
}

void CPsfConfigDlg::OnSendPsf() {
  if (LoopRunning()) return;
  {
    CommandScope command(*this);
    ReadBack();
    char bytes[kPsfSize + 1];
    working.Encode(bytes);
    PsfImage image;
    // The link puts the letter of the controller it talks to into byte 0.
    image.FromBytes(bytes, 0);
    WaitCursor wait;
    ControllerLink* link = operation->Link();
    // What the controller holds goes into the journal first.
    const SendStatus status =
        link == nullptr ? SendStatus::kNoAnswer
                        : SendWithCopy(*link, InstalledJournal(), operation->Tag("send"), image,
                                       [this] { return AskSendUnread(this); })
                              .status;
    wait.Release();
    if (status == SendStatus::kNotRead) return;  // the user chose not to send
    if (status == SendStatus::kNotJournaled) {
      Tell(kNotJournaledMessage, kWindowCaption);
      return;
    }
    const bool accepted = status == SendStatus::kAccepted;
    // Only a set the controller took is safe there.
    if (accepted) changes_.Keep(working);
    Tell(accepted ? "PSF Accepted" : "PSF Not Accepted", kWindowCaption);
  }
}

bool CPsfConfigDlg::SaveToFile() {
  ReadBack();
  const PromptAnswer answer =
      CurrentPrompter().Message(this, "Do You Want To Save the PSF to a File?", kAppTitle,
                                PromptButtons::YesNo, PromptIcon::None);
  if (answer != PromptAnswer::Yes) return false;
  std::string path;
  if (!CurrentPrompter().SavePsfFile(this, path)) return false;
  if (WritePsfFile(working, path.c_str()) == 0) {
    const int err = errno;
    CurrentPrompter().Message(this, kPsfWriteFailedMessage, kAppTitle, PromptButtons::Ok,
                              PromptIcon::Stop, FileFailureDetail(path, err));
    return false;
  }
  changes_.Keep(working);
  return true;
}

void CPsfConfigDlg::OnSavePsf() {
  if (LoopRunning()) return;
  SaveToFile();
}

void CPsfConfigDlg::NoteReportOrigin(const std::string& origin, const PsfImage& image) {
  report_origin_ = origin;
  report_base_ = Shown();
  // Part number and date code as the controller holds them (0x01: not set).
  const auto text = [&image](int from, int length) {
    std::string t;
    for (int i = from; i < from + length && image[i] != '\0' && image[i] != '\x01'; ++i) t += image[i];
    return t;
  };
  report_part_number_ = text(66, 6);
  report_date_code_ = text(72, 4);
}

void CPsfConfigDlg::OnReport() {
  if (LoopRunning()) return;
  // The set as the controls show it; the editor's own record is left alone.
  const PsfRecord record = Shown();
  char shown[kPsfSize + 1];
  char base[kPsfSize + 1];
  record.Encode(shown);
  report_base_.Encode(base);
  PsfReportSource about;
  about.made = NowIsoTime();
  if (report_origin_.empty()) {
    about.origin = "edited";
  } else {
    about.origin = report_origin_;
    if (std::memcmp(shown, base, kPsfSize) != 0) about.origin += ", edited";
    about.part_number = report_part_number_;
    about.date_code = report_date_code_;
  }
  CPsfReportDlg report(QString::fromStdString(PsfReportHtml(DescribePsf(record), about)), this);
  report.exec();
}

void CPsfConfigDlg::OnRetrievePsf() {
  if (LoopRunning()) return;
  std::string path;
  if (!CurrentPrompter().OpenPsfFile(this, path)) return;
  // A rejected file may have been half decoded: only an accepted one
  // becomes the scratch record.
  PsfRecord loaded = scratch;
  if (ReadPsfFile(loaded, path.c_str()) == 1) {
    scratch = loaded;
    working = scratch;
    Refresh();
    NoteReportOrigin("File " + path, PsfImage());  // a file holds no part number
  } else {
    Tell("This File is Not Compatible", kAppTitle);
  }
}

void CPsfConfigDlg::OnExecute() {
  if (LoopRunning()) return;
  ReadBack();
  const RuleResult modes = CheckExecuteModes(working);
  if (!modes.allowed) {
    Tell(modes.message, modes.caption);
    return;
  }
  ControllerLink* link = operation->Link();
  if (link == nullptr) return;
  {
    CommandScope command(*this);
    WaitCursor wait;
    SavedSetGuard& guard = operation->Guard();
    const TrialRunStatus status = StartTrialRun(*link, working, guard);
    wait.Release();
    if (status != TrialRunStatus::kStarted) {
      // An unconfirmed send armed the guard: the own set goes back too.
      Tell(TrialRunMessage(status), kAppTitle);
    } else {
      const MeasurementLabel label1 = TrialMeasurementLabel(working.meas1_mode);
      const MeasurementLabel label2 = TrialMeasurementLabel(working.meas2_mode);
      CMeasurementDlg view(link, this);
      view.label1 = label1.text;
      view.label2 = label2.text;
      view.mode = TrialMeasurementMode(working.meas1_mode, working.meas2_mode);
      view.exec();
    }
    guard.Restore();
  }
}

void CPsfConfigDlg::OnNullSpan() {
  if (LoopRunning()) return;
  {
    CommandScope command(*this);
    RunNullSpanCalibration(operation->Link(), this, operation->Tag("null/span"));
  }
}

void CPsfConfigDlg::OnExit() {
  if (LoopRunning()) return;
  SaveToFile();
  LastEditedPsf() = working;
  accept();
}

void CPsfConfigDlg::OnQuit() {
  if (LoopRunning()) return;
  reject();
}

}  // namespace kelvt
