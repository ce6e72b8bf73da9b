#pragma once
// A picture of the light curtain: one cell per beam, broken and made in
// clearly different colours (broken also hatched, for readers who cannot
// tell the colours apart), beam 1 at the top, the first beam of every
// eight-beam group numbered. It repaints only when the beam map changes.

#include <QColor>
#include <QRect>
#include <QWidget>
#include <vector>

namespace kelvt {

// The margin round a drawing of the curtain; the waterfall beside it keeps the same.
inline constexpr int kCurtainMargin = 4;

class BeamScan;

class CurtainView : public QWidget {
  Q_OBJECT

 public:
  static inline const QColor kBrokenColour{0xD0, 0x30, 0x30};
  static inline const QColor kMadeColour{0x2E, 0xA0, 0x44};
  static inline const QColor kUnknownColour{0xC8, 0xC8, 0xC8};
  static constexpr int kLabelEvery = 8;

  explicit CurtainView(QWidget* parent = nullptr);

  // Takes the states of `scan`'s beams. Repaints only when they differ from
  // the ones shown; returns true when they did.
  bool ShowBeams(const BeamScan& scan);

  int BeamCount() const { return static_cast<int>(states_.size()); }
  bool HasBeams() const { return shown_; }
  // 1 broken, 0 made, -1 outside the bar or nothing shown yet.
  int ShownState(int beam) const;
  // Where beam `beam` is drawn, in widget coordinates.
  QRect CellRect(int beam) const;
  // The bar all beams are drawn in; the waterfall beside it takes its rows from it.
  QRect BarRect() const;
  // The top edge of beam `beam` of `beams` in `bar` (beam == beams: its bottom
  // edge plus one); integer edges, so that the cells tile the bar.
  static int CellEdge(const QRect& bar, int beam, int beams);
  // How many times a changed beam map asked for a repaint.
  int RepaintRequests() const { return repaint_requests_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int LabelWidth() const;

  std::vector<unsigned char> states_;
  bool shown_ = false;
  int repaint_requests_ = 0;
};

}  // namespace kelvt
