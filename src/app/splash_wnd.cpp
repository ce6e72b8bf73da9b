#include "app/splash_wnd.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QTimerEvent>

#include "app/resources.h"

namespace kelvt {
namespace {
// The splash's own size when it has no picture (a small dialog's worth).
constexpr QSize kPlainSize(280, 152);
}  // namespace

QRect SplashGeometry(const QRect& desktop, const QSize& picture) {
  // Centred on the desktop; integer halves truncate toward zero.
  const int x = desktop.left() + (desktop.width() - picture.width()) / 2;
  const int y = desktop.top() + (desktop.height() - picture.height()) / 2;
  return QRect(QPoint(x, y), picture);
}

CSplashWnd::CSplashWnd(const QString& picture_resource, QWidget* parent, int period_ms)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), period_ms(period_ms) {
  setObjectName(QStringLiteral("CSplashWnd"));
  setModal(true);
  EnsureResources();
  if (!picture_resource.isEmpty()) bitmap = LoadPicture(picture_resource, devicePixelRatioF());
  setFixedSize(HasPicture() ? PictureSize() : kPlainSize);
}

QSize CSplashWnd::PictureSize() const { return bitmap.deviceIndependentSize().toSize(); }

void CSplashWnd::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!placed) {
    placed = true;
    if (HasPicture()) {
      const QScreen* screen = QGuiApplication::primaryScreen();
      if (screen != nullptr) setGeometry(SplashGeometry(screen->geometry(), PictureSize()));
      raise();
    }
    // In every case the splash ends itself.
    timer_id = startTimer(period_ms);
  }
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (HasPicture()) {
    painter.drawPixmap(rect(), bitmap);
  } else {
    painter.fillRect(rect(), palette().window());
  }
  painter.setPen(Qt::black);
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CSplashWnd::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_id) {
    QDialog::timerEvent(event);
    return;
  }
  killTimer(timer_id);
  timer_id = 0;
  close();
}

void CSplashWnd::keyPressEvent(QKeyEvent* event) {
  // The dialog keys end it at once; with no buttons Enter needs saying.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace kelvt
