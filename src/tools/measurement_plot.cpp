#include "tools/measurement_plot.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace kelvt {
namespace {

const QColor kSeriesColors[2] = {QColor(0, 90, 200), QColor(200, 80, 0)};
constexpr int kMargin = 6;

}  // namespace

void MeasurementHistory::Clear() {
  head_ = 0;
  size_ = 0;
}

void MeasurementHistory::Record(bool has1, uint16_t value1, bool has2, uint16_t value2) {
  values_[0][head_] = value1;
  values_[1][head_] = value2;
  present_[0][head_] = has1;
  present_[1][head_] = has2;
  head_ = (head_ + 1) % kCapacity;
  if (size_ < kCapacity) ++size_;
}

uint16_t MeasurementHistory::Value(int series, int i) const {
  if (series < 0 || series > 1 || i < 0 || i >= size_) return 0;
  return values_[series][Slot(i)];
}

bool MeasurementHistory::Has(int series, int i) const {
  if (series < 0 || series > 1 || i < 0 || i >= size_) return false;
  return present_[series][Slot(i)];
}

bool MeasurementHistory::Range(uint16_t& low, uint16_t& high) const {
  bool any = false;
  for (int s = 0; s < 2; ++s) {
    for (int i = 0; i < size_; ++i) {
      if (!Has(s, i)) continue;
      const uint16_t v = Value(s, i);
      if (!any) {
        low = high = v;
        any = true;
      } else {
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
  }
  return any;
}

MeasurementPlot::MeasurementPlot(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void MeasurementPlot::SetLabels(const QString& label1, const QString& label2) {
  labels_[0] = label1;
  labels_[1] = label2;
}

void MeasurementPlot::Clear() {
  history_.Clear();
  Redraw();
}

void MeasurementPlot::Redraw() {
  ++redraws_;
  update();
}

QSize MeasurementPlot::sizeHint() const { return QSize(360, 110); }

QSize MeasurementPlot::minimumSizeHint() const { return QSize(160, 80); }

void MeasurementPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  painter.setPen(palette().mid().color());
  painter.drawRect(rect().adjusted(0, 0, -1, -1));

  const QFontMetrics metrics(font());
  const int text_height = metrics.height();
  const QRect area = rect().adjusted(kMargin + metrics.horizontalAdvance(QStringLiteral("00000")),
                                     kMargin + text_height, -kMargin, -kMargin);
  uint16_t low = 0;
  uint16_t high = 0;
  const bool any = history_.Range(low, high);

  // Legend: the enabled measurements with their colours.
  int x = kMargin;
  for (int s = 0; s < 2; ++s) {
    bool shown = false;
    for (int i = 0; i < history_.Size() && !shown; ++i) shown = history_.Has(s, i);
    if (!shown || labels_[s].isEmpty()) continue;
    painter.setPen(kSeriesColors[s]);
    painter.drawText(x, kMargin + metrics.ascent(), labels_[s]);
    x += metrics.horizontalAdvance(labels_[s]) + 2 * kMargin;
  }
  if (!any || area.width() < 2 || area.height() < 2) return;

  // A flat trace sits in the middle of the area rather than on its edge.
  const double span = high > low ? double(high - low) : 1.0;
  const double base = high > low ? double(low) : double(low) - 0.5;
  painter.setPen(palette().text().color());
  painter.drawText(kMargin, area.top() + metrics.ascent(), QString::number(high));
  painter.drawText(kMargin, area.bottom(), QString::number(low));

  const int capacity = MeasurementHistory::kCapacity;
  const double step = double(area.width() - 1) / double(capacity - 1);
  const int first_x_slot = capacity - history_.Size();
  painter.setRenderHint(QPainter::Antialiasing, true);
  for (int s = 0; s < 2; ++s) {
    QPainterPath path;
    bool open = false;
    for (int i = 0; i < history_.Size(); ++i) {
      if (!history_.Has(s, i)) {
        open = false;
        continue;
      }
      const double px = area.left() + (first_x_slot + i) * step;
      const double py = area.bottom() - (history_.Value(s, i) - base) / span * (area.height() - 1);
      if (open) {
        path.lineTo(px, py);
      } else {
        path.moveTo(px, py);
        open = true;
      }
    }
    painter.setPen(QPen(kSeriesColors[s], 1.5));
    painter.drawPath(path);
    // The newest reading as a dot, so that a single scan shows too.
    const int last = history_.Size() - 1;
    if (history_.Has(s, last)) {
      const double px = area.left() + (first_x_slot + last) * step;
      const double py = area.bottom() - (history_.Value(s, last) - base) / span * (area.height() - 1);
      painter.setBrush(kSeriesColors[s]);
      painter.drawEllipse(QPointF(px, py), 2.5, 2.5);
      painter.setBrush(Qt::NoBrush);
    }
  }
}

}  // namespace kelvt
