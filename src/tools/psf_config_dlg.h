#pragma once
// The PSF configuration editor: shows one parameter set in its controls,
// keeps it valid with the configuration rules while the technician works,
// and reads it from or sends it to the controller, saves or loads it, tries
// it out (Execute) and trims the analog outputs (Null/Span).

#include <array>
#include <string>

#include "gui/loop_dialog.h"
#include "psf/config_rules.h"
#include "psf/psf_changes.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"

class QAbstractButton;
class QComboBox;
class QGroupBox;
class QHBoxLayout;
class QVBoxLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kelvt {

class EditPsfOperation;

// The set the editor shows when it opens: defaults at start-up, replaced by
// Exit, kept for the life of the program.
PsfRecord& LastEditedPsf();

class CPsfConfigDlg : public LoopDialog {
  Q_OBJECT

 public:
  CPsfConfigDlg(EditPsfOperation* operation, QWidget* parent);

  // Shows `working` in the controls (after Upload and Retrieve).
  void Refresh();
  // Takes the state of the controls into `working`.
  void ReadBack();
  // Closes without keeping the edits; asks first when there are any.
  void reject() override;

  const PsfRecord& Working() const { return working; }

  // The text boxes, one per ValueBox bit.
  QLineEdit* Box(ValueBox box) const;

 public slots:
  void OnUpload();
  void OnSendPsf();
  void OnSavePsf();
  // The set as shown, as a printable report (Print..., Save as PDF...).
  void OnReport();
  void OnRetrievePsf();
  void OnExecute();
  void OnNullSpan();
  void OnExit();
  void OnQuit();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct BoxSlot {
    QLineEdit* edit = nullptr;
    ValueBox bit{};
  };

  // One row per option button: what it is called and shows, the record
  // field it stands for and the rule a click runs.
  struct OptionRow;
  static constexpr int kOptionCount = 16;
  static const OptionRow kOptionRows[kOptionCount];

  void BuildControls();
  // No port: the commands that talk to the controller are off, and their
  // tooltips say why.
  void DisableControllerCommands();
  QVBoxLayout* BuildLeftColumn();
  QVBoxLayout* BuildRightColumn();
  QGroupBox* BuildDiscreteOutputs();
  QHBoxLayout* BuildLowerRow();
  // Tab follows the layout: group by group, left column, right column, then
  // the rows below.
  void SetTabOrder();
  void ConnectRules();
  void ShowOpening();
  // What ReadBack would make of the controls, leaving `working` alone.
  void ReadBackInto(PsfRecord& r) const;
  PsfRecord Shown() const;

  // Lists and option buttons from `working`.
  void ShowSelections();
  void ShowBox(ValueBox box);
  void ApplyStates(const FieldStates& states, unsigned groups);
  void ShowSkipCount(bool in_use);
  // Shows what a rule changed: selections, rewritten boxes, touched groups,
  // the beep and the message.
  void ApplyRule(const RuleResult& result);
  void Tell(const char* text, const char* caption);

  void OnBoxEdited(ValueBox box);
  void OnBoxLeft(ValueBox box);

  // Save question, file dialog and writer; shared by Save and Exit. True
  // once the file is written.
  bool SaveToFile();
  // The set shown came from `origin` (image: the controller's bytes, for
  // part number and date code).
  void NoteReportOrigin(const std::string& origin, const PsfImage& image);

  EditPsfOperation* operation;
  PsfRecord working;
  PsfRecord scratch;
  PsfChanges changes_;
  // Held while a rule runs: a rule is not started from inside another.
  int in_rule = 0;

  QComboBox* meas1_list_;
  QComboBox* meas2_list_;
  QRadioButton* continuous_;
  QRadioButton* gate_;
  QRadioButton* host_mode_;
  QRadioButton* straight_;
  QRadioButton* interlaced_;
  QRadioButton* edge_;
  QRadioButton* skip_;
  QComboBox* skip_count_list_;
  QComboBox* baud_list_;
  QComboBox* controller_list_;
  QRadioButton* no_serial_;
  QRadioButton* ascii_;
  QRadioButton* ascii_suppress_clear_;
  QRadioButton* binary_;
  QRadioButton* binary_suppress_clear_;
  QRadioButton* binary_suppress_header_;
  QRadioButton* binary_compress_;
  QComboBox* analog_source_list_[2];
  QComboBox* out_mode_list_[2];
  QRadioButton* alarm_;
  QRadioButton* trigger_;
  std::array<BoxSlot, 21> boxes_;
  QPushButton* command_buttons_[8];
  QPushButton* report_button_;
  // Where the set shown came from, for the report: the file it was read
  // from or the controller it was uploaded from; empty: edited here. With
  // the set as it came, to tell when it has been edited since.
  std::string report_origin_;
  std::string report_part_number_;
  std::string report_date_code_;
  PsfRecord report_base_;
};

}  // namespace kelvt
