#pragma once
// A small live plot under the measurement grid: the enabled measurements
// over the last scans. Every scan is recorded into a fixed ring (no
// allocation on the scan path); the widget repaints only when asked, which
// the measurement view does only when a value changed.

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

namespace kelvt {

// The last kCapacity scans of up to two measurements.
class MeasurementHistory {
 public:
  static constexpr int kCapacity = 120;

  void Clear();
  // One scan; a measurement that is not enabled is recorded as absent.
  void Record(bool has1, uint16_t value1, bool has2, uint16_t value2);

  int Size() const { return size_; }
  // i from 0 (oldest kept) to Size() - 1 (newest).
  uint16_t Value(int series, int i) const;
  bool Has(int series, int i) const;
  // Lowest and highest value present among the kept scans; false when none.
  bool Range(uint16_t& low, uint16_t& high) const;

 private:
  int Slot(int i) const { return (head_ + kCapacity - size_ + i) % kCapacity; }

  std::array<uint16_t, kCapacity> values_[2]{};
  std::array<bool, kCapacity> present_[2]{};
  int head_ = 0;  // next slot to write
  int size_ = 0;
};

class MeasurementPlot : public QWidget {
  Q_OBJECT

 public:
  explicit MeasurementPlot(QWidget* parent = nullptr);

  void SetLabels(const QString& label1, const QString& label2);
  void Clear();
  // Records one scan without repainting.
  void Record(bool has1, uint16_t value1, bool has2, uint16_t value2) {
    history_.Record(has1, value1, has2, value2);
  }
  // Schedules one repaint with everything recorded so far.
  void Redraw();

  const MeasurementHistory& History() const { return history_; }
  // Repaints requested so far (the view asks only on changes).
  int RedrawCount() const { return redraws_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  MeasurementHistory history_;
  QString labels_[2];
  int redraws_ = 0;
};

}  // namespace kelvt
