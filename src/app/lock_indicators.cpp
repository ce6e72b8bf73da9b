#include "app/lock_indicators.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

namespace kelvt {
namespace {

constexpr quint32 kX11LockMask = 0x02;  // Caps Lock
constexpr quint32 kX11Mod2Mask = 0x10;  // Num Lock on every common keymap

QLabel* Pane(const QString& text, QStatusBar* bar) {
  auto* pane = new QLabel(text, bar);
  pane->setObjectName(text);
  pane->setAlignment(Qt::AlignCenter);
  pane->setFrameShape(QFrame::Panel);
  pane->setFrameShadow(QFrame::Sunken);
  pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(QStringLiteral("SCRL")) + 12);
  pane->setEnabled(false);  // unlit
  bar->addPermanentWidget(pane);
  return pane;
}

}  // namespace

LockIndicators::LockIndicators(QStatusBar* bar) : QObject(bar) {
  caps_ = Pane(QStringLiteral("CAP"), bar);
  num_ = Pane(QStringLiteral("NUM"), bar);
  scroll_ = Pane(QStringLiteral("SCRL"), bar);
  platform_reports_ = QGuiApplication::platformName() == QLatin1String("xcb");
  if (platform_reports_ && QCoreApplication::instance() != nullptr) {
    QCoreApplication::instance()->installEventFilter(this);
  }
}

void LockIndicators::ShowNativeState(quint32 native_modifiers) {
  Show((native_modifiers & kX11LockMask) != 0, (native_modifiers & kX11Mod2Mask) != 0, false);
}

void LockIndicators::Show(bool caps, bool num, bool scroll) {
  caps_->setEnabled(caps);
  num_->setEnabled(num);
  scroll_->setEnabled(scroll);
}

bool LockIndicators::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
    // The state of a press is the one before it: a release of Caps Lock shows
    // the new state, so both are taken.
    ShowNativeState(static_cast<QKeyEvent*>(event)->nativeModifiers());
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelvt
