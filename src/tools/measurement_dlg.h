#pragma once
// The measurement output view of the trial run: lowest, highest and present
// value of each enabled measurement, scanned continuously between Run and
// Stop or once per Step, with a small plot of the recent trend.

#include "gui/loop_dialog.h"
#include "link/measurement_statistics.h"

class QLabel;
class QPushButton;

namespace kelvt {

class CSpreadSheet;
class ControllerLink;
class MeasurementPlot;
class MeasurementScan;
class RecordControl;

class CMeasurementDlg : public LoopDialog {
  Q_OBJECT

 public:
  // The opener then sets label1, label2 and mode before running it.
  CMeasurementDlg(ControllerLink* link, QWidget* parent);

  // Rows of the grid as the view shows them.
  void ShowValues(const MeasurementScan& scan);
  void ClearValues();

  const char* label1 = "";
  const char* label2 = "";
  int mode = 0;  // 0 only measurement 1, 1 only measurement 2, 2 both

  const MeasurementStatistics& Stats1() const { return stats1; }
  const MeasurementStatistics& Stats2() const { return stats2; }
  bool Running() const { return running != 0; }
  // How often the grid was rewritten (once per shown scan).
  int DisplayUpdates() const { return display_updates_; }
  CSpreadSheet* Grid() const { return grid; }
  MeasurementPlot* Plot() const { return plot_; }
  QPushButton* RunButton() const { return run_button; }
  QPushButton* StopButton() const { return stop_button; }
  QPushButton* StepButton() const { return step_button; }
  QPushButton* ExitButton() const { return exit_button; }
  RecordControl* Recorder() const { return record_; }

 public slots:
  void OnRun();
  void OnStop();
  void OnStep();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void OnInitDialog();
  void ScanFailed();
  void WriteRow(int row, const MeasurementStatistics& stats);

  CSpreadSheet* grid;
  MeasurementPlot* plot_;
  QLabel* enabled_label_;
  QLabel* enabled_value_;
  QPushButton* run_button;
  QPushButton* stop_button;
  QPushButton* step_button;
  QPushButton* exit_button;
  RecordControl* record_;
  MeasurementStatistics stats1;
  MeasurementStatistics stats2;
  int running = 0;
  ControllerLink* link;
  bool initialised_ = false;
  // A scan is on the line: the link is not re-entrant, so Run and Step wait.
  bool scanning_ = false;
  int display_updates_ = 0;
};

}  // namespace kelvt
