#pragma once
// The Record check box of the scan dialogs and the recording behind it. While
// it is ticked, every scan of a loop goes into a new CSV file in the record
// folder (opened when the loop starts or when Record is ticked during it,
// closed when the loop ends, Record is cleared or the dialog closes). The
// status line under the dialog says where the scans go, or why they cannot.

#include <QCheckBox>
#include <QLabel>
#include <QObject>
#include <cstdint>
#include <string>
#include <vector>

#include "link/measurement_statistics.h"
#include "ops/csv_recorder.h"


namespace kelvt {

class BeamScan;

class RecordControl : public QObject {
  Q_OBJECT

 public:
  // `kind` starts the file names ("alignment", "measurement"); the check box
  // and the status line are children of `dialog`, for its layout.
  RecordControl(const char* kind, QWidget* dialog);
  ~RecordControl() override;

  QCheckBox* CheckBox() const { return check_box_; }
  QLabel* StatusLabel() const { return status_; }

  // The folder of every recording; empty: the default (~/Documents/kelvt,
  // else the home folder). The main window sets it from the settings file.
  static void SetFolder(const std::string& folder);
  static std::string Folder();

  // A loop starts: opens a recording when Record is ticked and none is open.
  // `header` is the file's first row, kept for a recording ticked later.
  void Begin(const char* header);
  // Whether the scan in hand should be appended.
  bool Recording() const { return recorder_.IsOpen() && !recorder_.Failed(); }
  // The number the next row carries, from 1 in each file.
  int64_t NextScan() const { return recorder_.Rows() + 1; }
  // Appends one row; what gathered is written at most once a second.
  void Append(const char* row, int length);
  // The loop ended: closes the recording, or with `keep_open` (a single
  // step) keeps it open for the next scans.
  void End(bool keep_open = false);

  // The rows of the two scan dialogs (scan_csv), made in a buffer kept
  // between scans.
  void BeginAlignment();
  void AppendAlignment(const BeamScan& scan);
  void BeginMeasurement(int mode);
  void AppendMeasurement(int mode, const MeasurementStatistics& m1,
                         const MeasurementStatistics& m2);

  const std::string& Path() const { return path_; }

 private:
  void Open();
  void Close();
  void Fail(const QString& text);
  void OnToggled(bool on);

  const char* kind_;
  QCheckBox* check_box_;
  QLabel* status_;
  CsvRecorder recorder_;
  std::string header_;
  std::string path_;
  std::vector<char> row_;
  bool in_loop_ = false;
  uint32_t last_flush_ = 0;
};

}  // namespace kelvt
