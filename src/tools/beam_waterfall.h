#pragma once
// The curtain over time, beside the curtain picture: each beam a row on the
// picture's own beam axis and scale (beam 1 at the top), each scan a column,
// the newest next to the picture and time running away from it; broken and
// made in the picture's colours, columns not yet scanned grey. Beams the
// history calls flickering get a mark at the far end of their row. Pointing
// at it tells the beam, its state and the scan's time. It only draws: the
// dialog adds each scan to the history and calls Refresh, which schedules
// one repaint.

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

namespace kelvt {

class BeamHistory;
class CurtainView;

class BeamWaterfall : public QWidget {
  Q_OBJECT

 public:
  static inline const QColor kFlickerColour{0xE0, 0x90, 0x00};

  // `beside`: the picture whose bar gives the rows; without it the rows fill the height.
  BeamWaterfall(const BeamHistory* history, const CurtainView* beside, QWidget* parent = nullptr);

  // The history changed (a scan, a Reset).
  void Refresh();
  int RefreshRequests() const { return refresh_requests_; }

  // The rectangle the scans are drawn in, widget coordinates.
  QRect PlotRect() const;
  // The rows of `beam` (0-based) in PlotRect; empty outside the bar.
  QRect RowRect(int beam) const;
  // The beam drawn at widget row `y`; -1 outside the bar.
  int BeamAt(int y) const;
  // A widget column `x` shows the maps of ages (scans back, 0 the newest)
  // AgeAt(x) up to AgeEnd(x) - 1, a beam broken in any of them as broken;
  // -1 outside the plot.
  int AgeAt(int x) const;
  int AgeEnd(int x) const;
  // What pointing at `pos` tells: "Beam 17: Broken" and the time of the scan
  // shown there; empty off the scans.
  QString HoverText(const QPoint& pos) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int RowTop(int beam, const QRect& plot) const;
  static int AgeIn(const QRect& plot, int x);
  static int AgeEndIn(const QRect& plot, int x);

  const BeamHistory* history_;
  QPointer<const CurtainView> beside_;
  QImage picture_;  // the plot at its drawn size; remade only when that changes
  int refresh_requests_ = 0;
};

}  // namespace kelvt
