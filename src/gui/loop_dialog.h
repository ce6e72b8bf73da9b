#pragma once
// A modal dialog that runs a loop (or a long controller command) inside one
// of its handlers. While the loop runs the dialog refuses to close: Escape,
// Enter on the default button, the window's close button and any call of
// done()/accept()/reject() are ignored, because the handler still uses the
// dialog and the link. A refused close request is remembered so that the
// dialog may end its loop early on it.

#include <QDialog>
#include <QPointer>
#include <vector>

namespace kelvt {

class LoopDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LoopDialog(QWidget* parent = nullptr);
  ~LoopDialog() override;

  bool LoopRunning() const { return loop_depth_ > 0; }
  // True once a close was refused during the current loop.
  bool CloseRequested() const { return close_requested_; }

  // The one choke point through which accept(), reject() and Escape end the dialog.
  void done(int result) override;

  // Marks the loop as running for its lifetime. With `active` set the dialog
  // is also registered as ActiveDialogWindow (scan loops do that).
  class LoopScope {
   public:
    explicit LoopScope(LoopDialog& dialog, bool active = false);
    ~LoopScope();
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;

   private:
    LoopDialog& dialog_;
    bool active_;
  };

  // A controller command on the line: the loop scope, and every control of
  // the dialog disabled until it ends, so that no rule, edit or button runs
  // in the middle of it (child windows, such as a dialog the command opens,
  // stay usable).
  class CommandScope {
   public:
    explicit CommandScope(LoopDialog& dialog);
    ~CommandScope();
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

   private:
    LoopScope loop_;
    std::vector<QPointer<QWidget>> disabled_;
    QPointer<QWidget> focus_;
  };

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int loop_depth_ = 0;
  bool close_requested_ = false;
};

}  // namespace kelvt
