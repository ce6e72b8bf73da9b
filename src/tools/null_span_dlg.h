#pragma once
// Trims the null (bottom) and span (top) of the two analog outputs: each
// value in an edit field and a scroll bar; Null Update, Span Update and OK
// send all four values and check the controller's echo.

#include "gui/loop_dialog.h"
#include "link/null_span_frame.h"
#include "ops/set_journal.h"

class QLineEdit;
class QPushButton;
class QScrollBar;

namespace kelvt {

class ControllerLink;

class CNullSpanDlg : public LoopDialog {
  Q_OBJECT

 public:
  CNullSpanDlg(ControllerLink* link, QWidget* parent);

  // Takes the four values and the controller letter from the reply to the
  // read request.
  void LoadReply(const char* reply);

  // Value i in frame order: null 1, span 1, null 2, span 2.
  QLineEdit* Field(int i) const { return fields_[i]; }
  QScrollBar* Bar(int i) const { return bars_[i]; }
  QPushButton* NullUpdateButton() const { return null_button_; }
  QPushButton* SpanUpdateButton() const { return span_button_; }
  QPushButton* OkButton() const { return ok_button_; }
  QPushButton* CancelButton() const { return cancel_button_; }
  const NullSpanValues& Values() const { return values_; }
  char ControllerLetter() const { return controller_letter_; }

  // How the updates are named in the journal.
  void SetJournalTag(JournalTag tag) { tag_ = std::move(tag); }

  // Runs a leave of field i as losing the focus does.
  void LeaveField(int i);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void OnScrollAction(int i, int action);
  void OnSliderReleased(int i);
  void OnFieldChanged(int i);
  void SendUpdate(char function);
  void ShowMessage(const char* text);

  QLineEdit* fields_[4];
  QScrollBar* bars_[4];
  QPushButton* null_button_;
  QPushButton* span_button_;
  QPushButton* ok_button_;
  QPushButton* cancel_button_;

  NullSpanValues values_;
  char controller_letter_ = 'A';
  ControllerLink* link_;
  JournalTag tag_{"", "", "null/span"};
  int scroll_guard_ = 0;
  int edit_guard_ = 0;
  // A command is on the line: the link is not re-entrant.
  bool busy_ = false;
};

// The editor's Null/Span command: reads the controller's four values and, when
// it answers, runs the dialog on them; otherwise tells the user "Serial
// interface is not active" and opens nothing. 1 when the dialog ran.
int RunNullSpanCalibration(ControllerLink* link, QWidget* parent,
                           const JournalTag& tag = {"", "", "null/span"});

}  // namespace kelvt
