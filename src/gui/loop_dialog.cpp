#include "gui/loop_dialog.h"

#include <QApplication>
#include <QCloseEvent>

#include "gui/active_dialog.h"

namespace kelvt {

LoopDialog::LoopDialog(QWidget* parent) : QDialog(parent) {
  // Modal to its own window only: the guide (Help > Index) stays usable beside it.
  setWindowModality(Qt::WindowModal);
}

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

namespace kelvt {

LoopDialog::CommandScope::CommandScope(LoopDialog& dialog) : loop_(dialog) {
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && dialog.isAncestorOf(focus)) focus_ = focus;
  for (QWidget* w : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    if (w->isWindow() || !w->isEnabled()) continue;
    w->setEnabled(false);
    disabled_.emplace_back(w);
  }
}

LoopDialog::CommandScope::~CommandScope() {
  for (const QPointer<QWidget>& w : disabled_) {
    if (w) w->setEnabled(true);
  }
  if (focus_ && focus_->isEnabled()) focus_->setFocus();
}

}  // namespace kelvt
