#include "tools/beam_waterfall.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "ops/beam_history.h"
#include "tools/curtain_view.h"

namespace kelvt {

namespace {
constexpr int kMarkHeight = 5;
constexpr int kLabelEvery = 8;
}  // namespace

BeamWaterfall::BeamWaterfall(const BeamHistory* history, QWidget* parent)
    : QWidget(parent), history_(history) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setToolTip(QStringLiteral("The last %1 scans, the newest at the top").arg(kBeamHistoryDepth));
}

void BeamWaterfall::Refresh() {
  ++refresh_requests_;
  update();
}

int BeamWaterfall::GutterWidth() const {
  return fontMetrics().horizontalAdvance(QStringLiteral("-%1").arg(kBeamHistoryDepth)) + 2 * kCurtainMargin;
}

QRect BeamWaterfall::PlotRect() const {
  const int top = kCurtainMargin + fontMetrics().height() + kMarkHeight + 2;
  const int left = GutterWidth();
  return QRect(left, top, qMax(0, width() - kCurtainMargin - left), qMax(0, height() - kCurtainMargin - top));
}

int BeamWaterfall::ColumnLeft(int beam, const QRect& plot) const {
  const int n = history_ ? history_->Beams() : 0;
  if (n <= 0) return plot.left();
  return plot.left() + static_cast<int>(static_cast<long long>(plot.width()) * beam / n);
}

QRect BeamWaterfall::ColumnRect(int beam) const {
  if (!history_ || beam < 0 || beam >= history_->Beams()) return {};
  const QRect plot = PlotRect();
  const int left = ColumnLeft(beam, plot);
  return QRect(left, plot.top(), ColumnLeft(beam + 1, plot) - left, plot.height());
}

int BeamWaterfall::AgeAt(int y) const {
  const QRect plot = PlotRect();
  if (plot.height() <= 0 || y < plot.top() || y > plot.bottom()) return -1;
  return static_cast<int>(static_cast<long long>(y - plot.top()) * kBeamHistoryDepth / plot.height());
}

int BeamWaterfall::AgeEnd(int y) const {
  const int first = AgeAt(y);
  if (first < 0) return -1;
  const int next = AgeAt(y + 1);
  return next < 0 ? kBeamHistoryDepth : std::max(first + 1, next);
}

QSize BeamWaterfall::sizeHint() const { return QSize(360, 170); }

QSize BeamWaterfall::minimumSizeHint() const { return QSize(160, 90); }

void BeamWaterfall::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRect plot = PlotRect();
  if (plot.width() <= 0 || plot.height() <= 0) return;
  const int beams = history_ ? history_->Beams() : 0;

  // Each pixel row shows the maps of its ages, broken winning: a beam broken
  // in a single scan never falls between two rows.
  if (rows_.size() != plot.size()) rows_ = QImage(plot.size(), QImage::Format_RGB32);
  const QRgb broken = CurtainView::kBrokenColour.rgb();
  const QRgb made = CurtainView::kMadeColour.rgb();
  const QRgb unknown = CurtainView::kUnknownColour.rgb();
  for (int y = 0; y < plot.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(rows_.scanLine(y));
    const int first = AgeAt(plot.top() + y);
    if (beams == 0 || first < 0 || first >= history_->Depth()) {
      std::fill(line, line + plot.width(), unknown);
      continue;
    }
    const int end = std::min(AgeEnd(plot.top() + y), history_->Depth());
    for (int b = 0; b < beams; ++b) {
      const int from = ColumnLeft(b, plot) - plot.left();
      const int to = ColumnLeft(b + 1, plot) - plot.left();
      int state = 0;
      for (int age = first; age < end && !state; ++age) state = history_->State(age, b);
      std::fill(line + from, line + to, state ? broken : made);
    }
  }
  p.drawImage(plot.topLeft(), rows_);
  p.setPen(palette().windowText().color());
  p.drawRect(plot.adjusted(-1, -1, 0, 0));

  // Time along the left edge, beam numbers (1-based, every eighth) on top.
  const QRect gutter(0, plot.top(), plot.left() - kCurtainMargin, plot.height());
  p.drawText(gutter, Qt::AlignRight | Qt::AlignTop, QStringLiteral("now"));
  p.drawText(gutter, Qt::AlignRight | Qt::AlignBottom, QStringLiteral("-%1").arg(kBeamHistoryDepth));
  int last_label_right = 0;
  for (int b = 0; b < beams; b += kLabelEvery) {
    const QRect column = ColumnRect(b);
    const QString text = QString::number(b + 1);
    const int x = column.left();
    if (x < last_label_right) continue;  // too dense to number every group
    p.drawText(QPoint(x, kCurtainMargin + fontMetrics().ascent()), text);
    p.drawLine(x, plot.top() - kMarkHeight - 2, x, plot.top() - 2);
    last_label_right = x + fontMetrics().horizontalAdvance(text) + kCurtainMargin;
  }

  // Flickering beams: a mark above the column, at least three pixels wide.
  for (int b = 0; history_ && b < beams; ++b) {
    if (!history_->Flickering(b)) continue;
    const QRect column = ColumnRect(b);
    const int w = qMax(3, column.width());
    const int x = column.center().x() - w / 2;
    p.fillRect(QRect(x, plot.top() - kMarkHeight - 1, w, kMarkHeight), kFlickerColour);
  }
}

}  // namespace kelvt
