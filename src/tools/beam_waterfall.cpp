#include "tools/beam_waterfall.h"

#include <QDateTime>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <vector>

#include "ops/beam_history.h"
#include "tools/curtain_view.h"

namespace kelvt {

namespace {
constexpr int kFlickerMarkWidth = 5;
}  // namespace

BeamWaterfall::BeamWaterfall(const BeamHistory* history, const CurtainView* beside, QWidget* parent)
    : QWidget(parent), history_(history), beside_(beside) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  setAccessibleName(QStringLiteral("Curtain over time"));
  setAccessibleDescription(
      QStringLiteral("The last %1 scans, the newest next to the curtain").arg(kBeamHistoryDepth));
}

void BeamWaterfall::Refresh() {
  ++refresh_requests_;
  update();
}

QRect BeamWaterfall::PlotRect() const {
  int top = kCurtainMargin;
  int height = this->height() - 2 * kCurtainMargin - fontMetrics().height();
  if (beside_) {
    // The picture's bar, in this widget's coordinates: one beam axis for both.
    const QRect bar = beside_->BarRect();
    top = mapFromGlobal(beside_->mapToGlobal(bar.topLeft())).y();
    height = bar.height();
  }
  const int right = width() - kCurtainMargin - kFlickerMarkWidth - 2;
  return QRect(1, top, qMax(0, right - 1), qMax(0, height));
}

int BeamWaterfall::RowTop(int beam, const QRect& plot) const {
  return CurtainView::CellEdge(plot, beam, history_ ? history_->Beams() : 0);
}

QRect BeamWaterfall::RowRect(int beam) const {
  if (!history_ || beam < 0 || beam >= history_->Beams()) return {};
  const QRect plot = PlotRect();
  const int top = RowTop(beam, plot);
  return QRect(plot.left(), top, plot.width(), qMax(1, RowTop(beam + 1, plot) - top));
}

int BeamWaterfall::BeamAt(int y) const {
  const int n = history_ ? history_->Beams() : 0;
  const QRect plot = PlotRect();
  if (n <= 0 || plot.height() <= 0 || y < plot.top() || y > plot.bottom()) return -1;
  // The last beam whose row starts at or above y.
  int beam = static_cast<int>(static_cast<long long>(y - plot.top()) * n / plot.height());
  while (beam + 1 < n && RowTop(beam + 1, plot) <= y) ++beam;
  while (beam > 0 && RowTop(beam, plot) > y) --beam;
  return beam;
}

int BeamWaterfall::AgeIn(const QRect& plot, int x) {
  if (plot.width() <= 0 || x < plot.left() || x > plot.right()) return -1;
  return static_cast<int>(static_cast<long long>(x - plot.left()) * kBeamHistoryDepth / plot.width());
}

int BeamWaterfall::AgeEndIn(const QRect& plot, int x) {
  const int first = AgeIn(plot, x);
  if (first < 0) return -1;
  const int next = AgeIn(plot, x + 1);
  return next < 0 ? kBeamHistoryDepth : std::max(first + 1, next);
}

int BeamWaterfall::AgeAt(int x) const { return AgeIn(PlotRect(), x); }

int BeamWaterfall::AgeEnd(int x) const { return AgeEndIn(PlotRect(), x); }

QString BeamWaterfall::HoverText(const QPoint& pos) const {
  const int beam = BeamAt(pos.y());
  const int first = AgeAt(pos.x());
  if (!history_ || beam < 0 || first < 0 || first >= history_->Depth()) return {};
  // As drawn: broken when broken in any scan of the column, then that scan's time.
  int age = first;
  const int end = std::min(AgeEnd(pos.x()), history_->Depth());
  for (int a = first; a < end; ++a) {
    if (history_->State(a, beam)) {
      age = a;
      break;
    }
  }
  const bool broken = history_->State(age, beam) != 0;
  const QString when =
      QDateTime::fromMSecsSinceEpoch(history_->Time(age)).toString(QStringLiteral("HH:mm:ss.zzz"));
  const QString back = age == 0 ? QStringLiteral("the last scan")
                                : QStringLiteral("%1 scan(s) back").arg(age);
  return QStringLiteral("Beam %1: %2\n%3, %4")
      .arg(beam + 1)
      .arg(broken ? QStringLiteral("Broken") : QStringLiteral("Made"), when, back);
}

bool BeamWaterfall::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const QString text = HoverText(help->pos());
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(help->globalPos(), text, this);
    }
    return true;
  }
  return QWidget::event(event);
}

QSize BeamWaterfall::sizeHint() const { return QSize(320, 360); }

QSize BeamWaterfall::minimumSizeHint() const { return QSize(160, 160); }

void BeamWaterfall::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), palette().window());
  const QRect plot = PlotRect();
  if (plot.width() <= 0 || plot.height() <= 0) return;
  const int beams = history_ ? history_->Beams() : 0;

  // One line of pixels per beam, copied down its rows; each pixel column
  // shows the maps of its ages, broken winning: a beam broken in a single
  // scan never falls between two columns.
  if (picture_.size() != plot.size()) picture_ = QImage(plot.size(), QImage::Format_RGB32);
  const QRgb broken = CurtainView::kBrokenColour.rgb();
  const QRgb made = CurtainView::kMadeColour.rgb();
  const QRgb unknown = CurtainView::kUnknownColour.rgb();
  if (beams == 0) picture_.fill(unknown);
  for (int b = 0; b < beams; ++b) {
    const int from = RowTop(b, plot) - plot.top();
    const int to = std::min(RowTop(b + 1, plot) - plot.top(), plot.height());
    if (to <= from) continue;
    auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(from));
    for (int x = 0; x < plot.width(); ++x) {
      const int first = AgeIn(plot, plot.left() + x);
      if (first >= history_->Depth()) {
        line[x] = unknown;
        continue;
      }
      const int end = std::min(AgeEndIn(plot, plot.left() + x), history_->Depth());
      int state = 0;
      for (int age = first; age < end && !state; ++age) state = history_->State(age, b);
      line[x] = state ? broken : made;
    }
    for (int y = from + 1; y < to; ++y) {
      std::copy(line, line + plot.width(), reinterpret_cast<QRgb*>(picture_.scanLine(y)));
    }
  }
  p.drawImage(plot.topLeft(), picture_);
  p.setPen(palette().windowText().color());
  p.drawRect(plot.adjusted(-1, -1, 0, 0));

  // Time along the bottom: the newest next to the curtain.
  const QRect axis(plot.left(), plot.bottom() + 2, plot.width(), fontMetrics().height());
  p.drawText(axis, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("now"));
  p.drawText(axis, Qt::AlignRight | Qt::AlignTop, QStringLiteral("%1 scans back").arg(kBeamHistoryDepth));

  // Flickering beams: a mark at the far end of the row, at least three pixels high.
  for (int b = 0; history_ && b < beams; ++b) {
    if (!history_->Flickering(b)) continue;
    const QRect row = RowRect(b);
    const int h = qMax(3, row.height());
    p.fillRect(QRect(plot.right() + 3, row.center().y() - h / 2, kFlickerMarkWidth, h), kFlickerColour);
  }
}

}  // namespace kelvt
