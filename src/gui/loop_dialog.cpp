#include "gui/loop_dialog.h"

#include <QCloseEvent>

#include "gui/active_dialog.h"

namespace kelvt {

LoopDialog::LoopDialog(QWidget* parent) : QDialog(parent) {}

LoopDialog::~LoopDialog() {
  if (ActiveDialogWindow() == this) SetActiveDialogWindow(nullptr);
}

void LoopDialog::done(int result) {
  if (LoopRunning()) {
    close_requested_ = true;
    return;
  }
  QDialog::done(result);
}

void LoopDialog::closeEvent(QCloseEvent* event) {
  if (LoopRunning()) {
    close_requested_ = true;
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

LoopDialog::LoopScope::LoopScope(LoopDialog& dialog, bool active)
    : dialog_(dialog), active_(active) {
  if (dialog_.loop_depth_++ == 0) dialog_.close_requested_ = false;
  if (active_) SetActiveDialogWindow(&dialog_);
}

LoopDialog::LoopScope::~LoopScope() {
  --dialog_.loop_depth_;
  if (active_ && ActiveDialogWindow() == &dialog_) SetActiveDialogWindow(nullptr);
}

}  // namespace kelvt
