#pragma once
// The dialog whose scan loop runs: it gets its keyboard navigation while the
// serial layer waits, and refuses to close until the loop has ended.

class QWidget;

namespace kelvt {

QWidget* ActiveDialogWindow();
void SetActiveDialogWindow(QWidget* dialog);

// Installs the Qt idle step (process pending events without waiting) as the
// serial layer's idle hook, and the waiting step the protocol's waits are
// made of on the real clock. Called once at start-up, and by tests.
void InstallQtIdleHook();

// Shows the wait cursor for the guard's lifetime; Release() ends it early
// (before every message box and before a dialog opens).
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  void Release();
  WaitCursor(const WaitCursor&) = delete;

  // Every message box and file dialog lifts all wait cursors while it is up
  // and puts them back afterwards. Calls nest.
  static void SuspendAll();
  static void ResumeAll();
  // Wait cursors alive now (suspended ones included).
  static int ActiveCount();
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool active_;
};

}  // namespace kelvt
