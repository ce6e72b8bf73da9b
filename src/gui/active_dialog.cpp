#include "gui/active_dialog.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>

#include "platform/idle.h"

namespace kelvt {
namespace {

QPointer<QWidget> g_active_dialog;
int g_wait_cursors = 0;
int g_suspend_depth = 0;

// One user-interface step: every pending event, user input included (a Stop
// click must be seen during the loop), and never a wait for new ones.
void QtIdleStep() {
  if (QCoreApplication::instance() == nullptr) return;
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// Ends a waiting step: its timer's event needs a receiver, which does nothing.
class SliceEnd : public QObject {
 protected:
  void timerEvent(QTimerEvent*) override {}
};

// One step that blocks in the event dispatcher until something comes or a
// timer of `ms` fires: a posted event (a screen reader's query, a click)
// is answered at once, and the thread sleeps in between.
bool QtIdleWait(unsigned ms) {
  QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
  if (QCoreApplication::instance() == nullptr || dispatcher == nullptr) return false;
  static SliceEnd* slice_end = new SliceEnd;
  const int timer = dispatcher->registerTimer(ms, Qt::PreciseTimer, slice_end);
  dispatcher->processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  dispatcher->unregisterTimer(timer);
  return true;
}

bool HaveGuiApp() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

}  // namespace

QWidget* ActiveDialogWindow() { return g_active_dialog.data(); }

void SetActiveDialogWindow(QWidget* dialog) { g_active_dialog = dialog; }

void InstallQtIdleHook() {
  SetIdleHook(&QtIdleStep);
  SetIdleWaitHook(&QtIdleWait);
}

WaitCursor::WaitCursor() : active_(true) {
  ++g_wait_cursors;
  if (g_suspend_depth == 0 && HaveGuiApp()) QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() { Release(); }

void WaitCursor::Release() {
  if (!active_) return;
  active_ = false;
  --g_wait_cursors;
  if (g_suspend_depth == 0 && HaveGuiApp()) QApplication::restoreOverrideCursor();
}

void WaitCursor::SuspendAll() {
  if (g_suspend_depth++ != 0 || !HaveGuiApp()) return;
  for (int i = 0; i < g_wait_cursors; ++i) QApplication::restoreOverrideCursor();
}

void WaitCursor::ResumeAll() {
  if (g_suspend_depth == 0) return;
  if (--g_suspend_depth != 0 || !HaveGuiApp()) return;
  for (int i = 0; i < g_wait_cursors; ++i) QApplication::setOverrideCursor(Qt::WaitCursor);
}

int WaitCursor::ActiveCount() { return g_wait_cursors; }

}  // namespace kelvt
