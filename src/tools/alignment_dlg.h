#pragma once
// The alignment dialog: Run scans the curtain in a loop and shows which beams
// are broken and which made, as a summary, a list of ranges and a picture of
// the curtain; Stop ends the loop; the Broken / Made / Both buttons filter
// the range list.

#include <QString>

#include "gui/loop_dialog.h"
#include "link/beam_ranges.h"
#include "link/scan_record.h"
#include "ops/beam_history.h"

class QLabel;
class QPushButton;
class QRadioButton;

namespace kelvt {

class BeamWaterfall;
class ControllerLink;
class CSpreadSheet;
class CurtainView;
class RecordControl;

class CAlignmentDlg : public LoopDialog {
  Q_OBJECT

 public:
  static constexpr long kRangeRows = 300;

  CAlignmentDlg(ControllerLink* link, int channel_count, QWidget* parent = nullptr);

  void OnRun();
  void OnStop();
  void OnBroken() { SelectFilter(ChannelFilter::Broken); }
  void OnMade() { SelectFilter(ChannelFilter::Made); }
  void OnBoth() { SelectFilter(ChannelFilter::Both); }

  // What tests and a reader of the dialog may look at.
  CSpreadSheet* SummaryGrid() const { return summary_grid; }
  CSpreadSheet* RangeGrid() const { return range_grid; }
  CurtainView* Curtain() const { return curtain; }
  BeamWaterfall* Waterfall() const { return waterfall_; }
  QLabel* FlickerLabel() const { return flicker_label_; }
  const BeamHistory& History() const { return history_; }
  QPushButton* RunButton() const { return run_button; }
  QPushButton* StopButton() const { return stop_button; }
  QPushButton* ExitButton() const { return exit_button; }
  QRadioButton* BrokenButton() const { return broken_button; }
  QRadioButton* MadeButton() const { return made_button; }
  QRadioButton* BothButton() const { return both_button; }
  RecordControl* Recorder() const { return record_; }
  bool Running() const { return running != 0; }
  int ScansDone() const { return scans_done; }
  int ChannelCount() const { return channel_count; }
  // Times the grids were rewritten (a changed beam map or filter).
  int DisplayRewrites() const { return display_rewrites; }

 private:
  void SelectFilter(ChannelFilter filter);
  void UpdateSummary(const BeamStatistics& s);
  void RebuildRangeList(const BeamScan& scan);
  void ClearRangeGrid();
  void ShowHistory();
  static void PutCellText(CSpreadSheet* grid, long row, long column, const char* text);
  static void PutCellNumber(CSpreadSheet* grid, long row, long column, int value);

  QPushButton* exit_button;
  QPushButton* stop_button;
  QPushButton* run_button;
  CSpreadSheet* summary_grid;
  CSpreadSheet* range_grid;
  QRadioButton* broken_button;
  QRadioButton* made_button;
  QRadioButton* both_button;
  CurtainView* curtain;
  RecordControl* record_;
  ControllerLink* link;
  int channel_count;
  int running = 0;
  ChannelFilter shown_filter = ChannelFilter::Broken;
  ChannelFilter selected_filter = ChannelFilter::Broken;
  int scans_done = 0;
  BeamBitmapScan last_scan;
  int display_rewrites = 0;
  BeamHistory history_;
  BeamWaterfall* waterfall_;
  QLabel* flicker_label_;
  char flicker_text_[128] = "";
};

}  // namespace kelvt
