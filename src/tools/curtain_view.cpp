#include "tools/curtain_view.h"

#include <QPainter>
#include <QPaintEvent>

#include "link/scan_record.h"

namespace kelvt {

namespace {
constexpr int kBarWidth = 28;
constexpr int kLegendHeight = 18;
}  // namespace

CurtainView::CurtainView(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

bool CurtainView::ShowBeams(const BeamScan& scan) {
  const int n = scan.ChannelCount() > 0 ? scan.ChannelCount() : 0;
  bool changed = !shown_ || static_cast<int>(states_.size()) != n;
  if (static_cast<int>(states_.size()) != n) states_.assign(n, 0);  // only when the bar changes
  for (int i = 0; i < n; ++i) {
    const unsigned char state = scan.BeamState(i) ? 1 : 0;
    if (states_[i] != state) {
      states_[i] = state;
      changed = true;
    }
  }
  shown_ = true;
  if (changed) {
    ++repaint_requests_;
    update();
  }
  return changed;
}

int CurtainView::ShownState(int beam) const {
  if (!shown_ || beam < 0 || beam >= BeamCount()) return -1;
  return states_[beam];
}

int CurtainView::LabelWidth() const { return fontMetrics().horizontalAdvance(QStringLiteral("888")) + kCurtainMargin; }

QRect CurtainView::BarRect() const {
  const int left = kCurtainMargin + LabelWidth();
  const int top = kCurtainMargin + fontMetrics().height() / 2;
  const int bottom = height() - kCurtainMargin - kLegendHeight * 2 - kCurtainMargin;
  return QRect(left, top, kBarWidth, qMax(0, bottom - top));
}

QRect CurtainView::CellRect(int beam) const {
  const int n = BeamCount();
  if (beam < 0 || beam >= n) return {};
  const QRect bar = BarRect();
  const int top = CellEdge(bar, beam, n);
  return QRect(bar.left(), top, bar.width(), qMax(1, CellEdge(bar, beam + 1, n) - top));
}

int CurtainView::CellEdge(const QRect& bar, int beam, int beams) {
  if (beams <= 0) return bar.top();
  return bar.top() + static_cast<int>(static_cast<long long>(bar.height()) * beam / beams);
}

QSize CurtainView::sizeHint() const {
  // As narrow as the bar with its numbers, or the legend under it: the
  // waterfall beside it starts right after the bar.
  const int legend = 12 + 6 + fontMetrics().horizontalAdvance(QStringLiteral("Broken"));
  return QSize(kCurtainMargin * 2 + qMax(LabelWidth() + kBarWidth, legend), 360);
}

QSize CurtainView::minimumSizeHint() const { return QSize(sizeHint().width(), 160); }

void CurtainView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRect bar = BarRect();
  const int n = BeamCount();
  if (!shown_ || n == 0) {
    p.fillRect(bar, kUnknownColour);
    p.setPen(palette().windowText().color());
    p.drawRect(bar.adjusted(0, 0, -1, -1));
  } else {
    const bool separators = bar.height() / n >= 4;
    for (int i = 0; i < n; ++i) {
      const QRect cell = CellRect(i);
      if (states_[i]) {
        p.fillRect(cell, kBrokenColour);
        p.fillRect(cell, QBrush(kBrokenColour.darker(160), Qt::BDiagPattern));
      } else {
        p.fillRect(cell, kMadeColour);
      }
      if (separators && i > 0) {
        p.setPen(palette().window().color());
        p.drawLine(cell.left(), cell.top(), cell.right(), cell.top());
      }
    }
    // The first beam of each group of eight, numbered 1-based at its cell.
    p.setPen(palette().windowText().color());
    const int text_height = fontMetrics().height();
    int last_label_bottom = -text_height;
    for (int i = 0; i < n; i += kLabelEvery) {
      const QRect cell = CellRect(i);
      const int y = cell.top();
      if (y < last_label_bottom) continue;  // too dense to number every group
      const QRect label(kCurtainMargin, y - text_height / 2, LabelWidth() - kCurtainMargin, text_height);
      p.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(i + 1));
      p.drawLine(bar.left() - 3, y, bar.left() - 1, y);
      last_label_bottom = label.bottom() + 1;
    }
    p.drawRect(bar.adjusted(-1, -1, 0, 0));
  }
  // Legend.
  const int legend_top = bar.bottom() + kCurtainMargin * 2;
  const struct {
    const QColor* colour;
    bool hatched;
    const char* text;
  } keys[] = {{&kBrokenColour, true, "Broken"}, {&kMadeColour, false, "Made"}};
  for (int k = 0; k < 2; ++k) {
    const QRect swatch(kCurtainMargin, legend_top + k * kLegendHeight + 3, 12, 12);
    p.fillRect(swatch, *keys[k].colour);
    if (keys[k].hatched) p.fillRect(swatch, QBrush(keys[k].colour->darker(160), Qt::BDiagPattern));
    p.setPen(palette().windowText().color());
    p.drawText(QRect(swatch.right() + 6, legend_top + k * kLegendHeight, width(), kLegendHeight),
               Qt::AlignLeft | Qt::AlignVCenter, QString::fromLatin1(keys[k].text));
  }
}

}  // namespace kelvt
