#include "gui/window_memory.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cstring>

namespace kelvt {

WindowMemory::WindowMemory(std::map<std::string, WindowPlace>* places, QObject* parent)
    : QObject(parent), places_(places) {
  qApp->installEventFilter(this);
}

std::string WindowMemory::NameOf(const QWidget* window) {
  if (window == nullptr || !window->isWindow()) return {};
  const Qt::WindowType type = window->windowType();
  if (type != Qt::Window && type != Qt::Dialog) return {};
  // A window that cannot be resized opens at its one size.
  if (window->minimumSize() == window->maximumSize()) return {};
  // Only the tool's own windows: a message box or a file dialog has its own ways.
  static constexpr char kPrefix[] = "kelvt::";
  const char* name = window->metaObject()->className();
  if (std::strncmp(name, kPrefix, sizeof kPrefix - 1) != 0) return {};
  return name + sizeof kPrefix - 1;
}

bool WindowMemory::PlacesWindows() {
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void WindowMemory::Remember(const QWidget* window) {
  const std::string name = NameOf(window);
  if (name.empty() || places_ == nullptr) return;
  // A maximised window is remembered at the size it comes back to.
  const QRect normal = window->isMaximized() || window->isFullScreen() ? window->normalGeometry()
                                                                       : window->geometry();
  if (normal.width() <= 0 || normal.height() <= 0) return;
  WindowPlace place;
  place.width = normal.width();
  place.height = normal.height();
  if (PlacesWindows()) {
    place.has_position = true;
    place.x = window->pos().x();
    place.y = window->pos().y();
  }
  (*places_)[name] = place;
}

void WindowMemory::Restore(QWidget* window) const {
  const std::string name = NameOf(window);
  if (name.empty() || places_ == nullptr) return;
  const auto it = places_->find(name);
  if (it == places_->end()) return;
  const WindowPlace& place = it->second;
  // Never bigger than the screen, never smaller than the contents need.
  QSize size(place.width, place.height);
  if (const QScreen* screen = window->screen()) size = size.boundedTo(screen->availableGeometry().size());
  window->resize(size.expandedTo(window->minimumSizeHint()));
  // A place on a screen that is no longer there is dropped: the window opens where Qt puts it.
  if (place.has_position && PlacesWindows() &&
      QGuiApplication::screenAt(QPoint(place.x + place.width / 2, place.y + 10)) != nullptr) {
    window->move(place.x, place.y);
  }
}

bool WindowMemory::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((type == QEvent::Show || type == QEvent::Hide) && watched->isWidgetType()) {
    auto* widget = static_cast<QWidget*>(watched);
    if (widget->isWindow() && !event->spontaneous()) {
      if (type == QEvent::Show) {
        Restore(widget);
      } else {
        Remember(widget);
      }
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace kelvt
