#pragma once
// The splash screen shown at start-up: the program's picture, centred on the
// screen, closing itself after two seconds (Enter or Escape close it at once).

#include <QDialog>
#include <QPixmap>
#include <QRect>

namespace kelvt {

// Place and size of a splash showing a `picture`-sized picture on `desktop`.
QRect SplashGeometry(const QRect& desktop, const QSize& picture);

class CSplashWnd : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTimerId = 1;
  static constexpr int kPeriodMs = 2000;
  static constexpr const char* kPicture = ":/kelvt/splash.png";

  // Loads the picture from `picture_resource`; without it the splash keeps
  // its own size, shows no picture and still closes on time.
  explicit CSplashWnd(const QString& picture_resource = QString::fromLatin1(kPicture),
                      QWidget* parent = nullptr, int period_ms = kPeriodMs);

  bool HasPicture() const { return !bitmap.isNull(); }
  // The picture's size in device-independent pixels (the 2x picture counts half).
  QSize PictureSize() const;
  int PeriodMs() const { return period_ms; }
  bool TimerRunning() const { return timer_id != 0; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QPixmap bitmap;
  int period_ms;
  int timer_id = 0;
  bool placed = false;
};

}  // namespace kelvt
