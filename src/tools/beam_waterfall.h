#pragma once
// The curtain over time: the maps a BeamHistory holds as rows, the newest at
// the top, beam 1 at the left, broken and made in the curtain picture's
// colours; rows not yet scanned are grey. Beams the history calls
// flickering get a mark above their column. It only draws: the dialog adds
// each scan to the history and calls Refresh, which schedules one repaint.

#include <QImage>
#include <QRect>
#include <QWidget>

namespace kelvt {

class BeamHistory;

class BeamWaterfall : public QWidget {
  Q_OBJECT

 public:
  static inline const QColor kFlickerColour{0xE0, 0x90, 0x00};

  explicit BeamWaterfall(const BeamHistory* history, QWidget* parent = nullptr);

  // The history changed (a scan, a Reset).
  void Refresh();
  int RefreshRequests() const { return refresh_requests_; }

  // The rectangle the rows are drawn in, widget coordinates.
  QRect PlotRect() const;
  // The columns of `beam` (0-based) in PlotRect; empty outside the bar.
  QRect ColumnRect(int beam) const;
  // A widget row `y` shows the maps of ages (scans back, 0 the newest)
  // AgeAt(y) up to AgeEnd(y) - 1, a beam broken in any of them as broken;
  // -1 outside the plot.
  int AgeAt(int y) const;
  int AgeEnd(int y) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int GutterWidth() const;
  int ColumnLeft(int beam, const QRect& plot) const;

  const BeamHistory* history_;
  QImage rows_;  // the plot at its drawn size; remade only when that changes
  int refresh_requests_ = 0;
};

}  // namespace kelvt
