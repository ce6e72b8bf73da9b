#pragma once
// The diagnostics dialog: system state, board counts, the board list with
// channel counts and error names, part number and date code, and Refresh.

#include <QString>

#include "gui/loop_dialog.h"

class QLabel;
class QPushButton;

namespace kelvt {

class CSpreadSheet;
class DiagnosticsOperation;

class CDiagnosticsDlg : public LoopDialog {
  Q_OBJECT

 public:
  CDiagnosticsDlg(DiagnosticsOperation* operation, QWidget* parent);

  // Fills the labels and the grid from the operation's record.
  void Display();

  // What the dialog shows, for tests.
  QString SystemStateText() const;
  QString EmitterCountText() const;
  QString ReceiverCountText() const;
  QString PartNumberText() const;
  QString DateCodeText() const;
  CSpreadSheet* Grid() const { return board_grid; }
  QPushButton* RefreshButton() const { return refresh_button; }
  QPushButton* ExitButton() const { return exit_button; }

 public slots:
  void OnRefresh();

 private:
  CSpreadSheet* board_grid;
  QLabel* system_state;
  QLabel* emitter_count;
  QLabel* receiver_count;
  QLabel* part_number;
  QLabel* date_code;
  QPushButton* exit_button;
  QPushButton* refresh_button;
  DiagnosticsOperation* operation;
};

}  // namespace kelvt
