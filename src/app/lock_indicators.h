#pragma once
// The CAP, NUM and SCRL panes of the status bar. Qt offers no portable way
// to read the lock keys, but on X11 every key event carries the modifier
// state, whose Lock and Mod2 bits are Caps Lock and Num Lock; the panes
// follow those bits from the first key press on. Scroll Lock has no bit, and
// other platforms report none: their panes stay unlit.

#include <QObject>

class QLabel;
class QStatusBar;

namespace kelvt {

class LockIndicators : public QObject {
  Q_OBJECT

 public:
  // Adds the three panes to `bar` and watches the application's key events.
  explicit LockIndicators(QStatusBar* bar);

  // Lights the panes from an X11 modifier state.
  void ShowNativeState(quint32 native_modifiers);
  void Show(bool caps, bool num, bool scroll);

  QLabel* Caps() const { return caps_; }
  QLabel* Num() const { return num_; }
  QLabel* Scroll() const { return scroll_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* caps_;
  QLabel* num_;
  QLabel* scroll_;
  bool platform_reports_ = false;
};

}  // namespace kelvt
