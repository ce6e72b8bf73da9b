#pragma once
// Remembers the size of each resizable window of the tool, and its place
// where the desktop lets a program place windows (not under Wayland), in
// the settings kept by the main window: a window takes its remembered size
// and place as it is shown and leaves them as it is hidden. Windows are
// known by their class (CAlignmentDlg, CMainFrame, ...); message boxes,
// file dialogs and fixed-size windows are left to Qt.

#include <QObject>
#include <map>
#include <string>

#include "platform/frame_settings.h"

class QWidget;

namespace kelvt {

class WindowMemory : public QObject {
  Q_OBJECT

 public:
  // Watches every window of the application while it lives; `places` must
  // outlive it.
  WindowMemory(std::map<std::string, WindowPlace>* places, QObject* parent);

  // The name a window is remembered by; empty for one that is not.
  static std::string NameOf(const QWidget* window);
  // Whether the desktop lets a program place its windows.
  static bool PlacesWindows();
  // Takes `window`'s size and place now (also done when it is hidden).
  void Remember(const QWidget* window);
  // Gives `window` its remembered size and place (done when it is shown).
  void Restore(QWidget* window) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::map<std::string, WindowPlace>* places_;
};

}  // namespace kelvt
