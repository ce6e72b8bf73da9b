#pragma once
// The trend plot under the measurement grid: the enabled measurements over
// the last ten minutes since Run, drawn by Qt Charts (time axis in seconds,
// value axis named after the measurements in their colours, a legend), with
// a context menu that saves the picture as PNG or the points as CSV. Every
// scan is recorded into a fixed ring (no allocation on the scan path); the
// chart takes the new points in one batch when the view asks for a redraw,
// which it does only when a value changed, or once a second at most
// otherwise so that the time axis keeps moving.

#include <QChartView>
#include <QList>
#include <QPointF>
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QLineSeries;
class QValueAxis;

namespace kelvt {

// The scans of the last kWindowMs of up to two measurements, oldest first.
class MeasurementHistory {
 public:
  static constexpr uint32_t kWindowMs = 10 * 60 * 1000;
  // Ten minutes at the protocol's fastest scan rate (under seven a second)
  // fit; a faster source loses its oldest scans sooner.
  static constexpr int kCapacity = 4800;

  MeasurementHistory();
  void Clear();
  // One scan `ms` after the start; a measurement that is not enabled is
  // recorded as absent. Scans more than kWindowMs older fall out.
  void Record(uint32_t ms, bool has1, uint16_t value1, bool has2, uint16_t value2);

  int Size() const { return size_; }
  // Scans recorded since Clear, including those that fell out.
  int64_t Recorded() const { return recorded_; }
  // i from 0 (oldest kept) to Size() - 1 (newest).
  uint32_t Time(int i) const;
  uint16_t Value(int series, int i) const;
  bool Has(int series, int i) const;
  // Lowest and highest value present among the kept scans; false when none.
  bool Range(uint16_t& low, uint16_t& high) const;

 private:
  struct Entry {
    uint32_t ms;
    uint16_t value[2];
    bool has[2];
  };
  int Slot(int i) const { return (head_ + kCapacity - size_ + i) % kCapacity; }

  std::vector<Entry> ring_;  // kCapacity entries, sized once
  int head_ = 0;             // next slot to write
  int size_ = 0;
  int64_t recorded_ = 0;
};

class MeasurementPlot : public QChartView {
  Q_OBJECT

 public:
  // Asks for the name of a file to save (`caption`, suggested name, filter);
  // empty for cancel. Tests install their own.
  using SaveNameChooser =
      std::function<QString(QWidget* parent, const QString& caption, const QString& suggested,
                            const QString& filter)>;
  static void SetSaveNameChooser(SaveNameChooser chooser);

  static inline const QColor kSeriesColours[2] = {QColor(0, 90, 200), QColor(200, 80, 0)};
  // The time axis shows at least this span, so that a new run does not
  // start with a zoomed-in axis.
  static constexpr int kMinimumSpanSeconds = 60;
  // A steady value still moves the time axis this often.
  static constexpr uint32_t kIdleSyncMs = 1000;

  explicit MeasurementPlot(QWidget* parent = nullptr);

  void SetLabels(const QString& label1, const QString& label2);
  // A new run: forgets the points and starts the time axis at 0.
  void Clear();
  // Records one scan, timed on the tick counter; the chart follows at the
  // next Redraw (or after kIdleSyncMs).
  void Record(bool has1, uint16_t value1, bool has2, uint16_t value2);
  // Hands the chart everything recorded so far and schedules one repaint.
  void Redraw();

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

 private:
  void Sync();
  void UpdateAxes();
  void AskAndSave(bool plot);

  MeasurementHistory history_;
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
