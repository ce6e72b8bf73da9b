#pragma once
// The trend plot under the measurement grid: the enabled measurements over
// the last ten minutes since Run, drawn by Qt Charts (time axis in seconds
// since Run or as clock time, value axis named after the measurements in
// their colours, a legend), with a context menu that saves the picture as
// PNG or the points as CSV. Pointing at it reads the time and the values of
// the nearest scan; Pause holds the view while the scans go on. Every
// scan is recorded into a fixed ring (no allocation on the scan path); the
// chart takes the new points in one batch when the view asks for a redraw,
// which it does only when a value changed, or once a second at most
// otherwise so that the time axis keeps moving.

#include <QChartView>
#include <QDateTime>
#include <QList>
#include <QPointF>
#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "ops/measurement_history.h"

class QAction;
class QComboBox;
class QDateTimeAxis;
class QGraphicsLineItem;
class QLabel;
class QPushButton;
class QLineSeries;
class QValueAxis;

namespace kelvt {

class MeasurementPlot : public QChartView {
  Q_OBJECT

 public:
  // Asks for the name of a file to save (`caption`, suggested name, filter);
  // empty for cancel. Tests install their own.
  using SaveNameChooser =
      std::function<QString(QWidget* parent, const QString& caption, const QString& suggested,
                            const QString& filter)>;
  static void SetSaveNameChooser(SaveNameChooser chooser);
  // The time axis new plots start with: clock time or seconds since Run.
  // Kept in the settings file; a choice in any plot changes it.
  static void SetClockTimeDefault(bool clock);
  static bool ClockTimeDefault();

  static inline const QColor kSeriesColours[2] = {QColor(0, 90, 200), QColor(200, 80, 0)};
  // The time axis shows at least this span, so that a new run does not
  // start with a zoomed-in axis.
  static constexpr int kMinimumSpanSeconds = 60;
  // A steady value still moves the time axis this often.
  static constexpr uint32_t kIdleSyncMs = 1000;

  explicit MeasurementPlot(QWidget* parent = nullptr);
  ~MeasurementPlot() override;

  void SetLabels(const QString& label1, const QString& label2);
  // A new run: forgets the points and starts the time axis at 0.
  void Clear();
  // Records one scan, timed on the tick counter; the chart follows at the
  // next Redraw (or after kIdleSyncMs).
  void Record(bool has1, uint16_t value1, bool has2, uint16_t value2);
  // Hands the chart everything recorded so far and schedules one repaint
  // (held while paused).
  void Redraw();

  // Pause holds the view (scans are still recorded); Resume brings it up to
  // date. A new run (Clear) resumes.
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  void SetClockTime(bool clock);
  bool ClockTime() const { return clock_time_; }
  // The row under the plot: Pause / Resume and the choice of time axis.
  QWidget* Controls() const { return controls_; }
  QPushButton* PauseButton() const { return pause_button_; }
  QComboBox* TimeAxisChoice() const { return axis_choice_; }
  QDateTimeAxis* ClockAxis() const { return clock_axis_; }

  // The readout for the scan nearest `seconds` since Run among those shown:
  // its time and every shown measurement's value; empty when none is shown.
  QString ReadoutAt(double seconds) const;
  // Shows the readout for the pointer at `pos` (view coordinates), or hides
  // it off the plot area.
  void PointAt(const QPoint& pos);
  QLabel* Readout() const { return readout_; }

  const MeasurementHistory& History() const { return history_; }
  // Repaints requested so far (the view asks only on changes).
  int RedrawCount() const { return redraws_; }
  // Points the chart holds for measurement 1 or 2 (series 0 or 1).
  QLineSeries* Series(int series) const { return series_[series]; }
  QValueAxis* TimeAxis() const { return time_axis_; }
  QValueAxis* ValueAxis() const { return value_axis_; }
  QAction* SavePlotAction() const { return save_plot_; }
  QAction* SaveDataAction() const { return save_data_; }

  // Write the picture / the points; false when the file could not be written.
  bool SavePlot(const QString& path);
  bool SaveData(const QString& path) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  void Sync();
  void UpdateAxes();
  void AskAndSave(bool plot);
  QString TimeText(uint32_t ms) const;
  // What the chart shows: the history, or its copy taken at Pause.
  const MeasurementHistory& Shown() const { return paused_ ? frozen_ : history_; }

  MeasurementHistory history_;
  MeasurementHistory frozen_;  // sized once; copied into at Pause
  QDateTimeAxis* clock_axis_;
  QPointer<QWidget> controls_;  // the caller's layout takes it; else it goes with the plot
  QPushButton* pause_button_;
  QComboBox* axis_choice_;
  QLabel* readout_;
  QGraphicsLineItem* marker_ = nullptr;
  qint64 start_clock_ms_ = 0;  // the clock at Run
  bool paused_ = false;
  bool clock_time_ = false;
  QLineSeries* series_[2];
  QValueAxis* time_axis_;
  QValueAxis* value_axis_;
  QAction* save_plot_;
  QAction* save_data_;
  QString labels_[2];
  QList<QPointF> batch_;   // reused between syncs
  int64_t synced_ = 0;     // History().Recorded() at the last sync
  uint32_t start_tick_ = 0;
  uint32_t last_sync_ms_ = 0;
  int redraws_ = 0;
};

}  // namespace kelvt
