#include "gui/prompter.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>
#include <QFileDialog>
#include <QMessageBox>
#include <QString>
#include <cstring>

#include "gui/active_dialog.h"
#include "ops/status_messages.h"

namespace kelvt {
namespace {

QMessageBox::Icon ToQtIcon(PromptIcon icon) {
  switch (icon) {
    case PromptIcon::Information: return QMessageBox::Information;
    case PromptIcon::Warning: return QMessageBox::Warning;
    case PromptIcon::Stop: return QMessageBox::Critical;
    case PromptIcon::Question: return QMessageBox::Question;
    case PromptIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

// The real prompter: Qt message boxes and file dialogs.
class QtPrompter final : public Prompter {
 public:
  PromptAnswer Message(QWidget* parent, const std::string& text, const std::string& caption,
                       PromptButtons buttons, PromptIcon icon,
                       const std::string& detail) override {
    // A box must never show under the wait cursor.
    WaitCursor::SuspendAll();
    QMessageBox box(ToQtIcon(icon), QString::fromStdString(caption),
                    QString::fromStdString(text), QMessageBox::NoButton, parent);
    // Modal to its own window only, as every dialog: the guide stays usable.
    if (parent != nullptr) box.setWindowModality(Qt::WindowModal);
    const bool yes_no = buttons != PromptButtons::Ok;
    if (yes_no) {
      box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
      box.setDefaultButton(buttons == PromptButtons::YesNoDefaultNo ? QMessageBox::No
                                                                    : QMessageBox::Yes);
    } else {
      box.setStandardButtons(QMessageBox::Ok);
    }
    if (!detail.empty()) box.setDetailedText(QString::fromStdString(detail));
    const int pressed = box.exec();
    WaitCursor::ResumeAll();
    if (yes_no) {
      return pressed == QMessageBox::Yes ? PromptAnswer::Yes : PromptAnswer::No;
    }
    return PromptAnswer::Ok;
  }

  bool OpenPsfFile(QWidget* parent, std::string& path) override {
    QFileDialog dialog(parent, QStringLiteral("FileBox"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The typed name need not exist: the reader judges it.
    dialog.setFileMode(QFileDialog::AnyFile);
    return RunFileDialog(dialog, path);
  }

  bool SavePsfFile(QWidget* parent, std::string& path) override {
    QFileDialog dialog(parent, QStringLiteral("FileSave"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // Replacing an existing file asks first (Qt's default, stated here).
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    return RunFileDialog(dialog, path);
  }

  bool ChooseFolder(QWidget* parent, std::string& folder) override {
    WaitCursor::SuspendAll();
    const QString chosen = QFileDialog::getExistingDirectory(
        parent, QStringLiteral("Record Folder"), QString::fromStdString(folder));
    WaitCursor::ResumeAll();
    if (chosen.isEmpty()) return false;
    folder = chosen.toStdString();
    return true;
  }

  bool ChooseItems(QWidget* parent, const std::string& text, const std::string& caption,
                   const std::vector<std::string>& items, const std::string& accept,
                   std::vector<bool>& chosen) override {
    WaitCursor::SuspendAll();
    QDialog dialog(parent);
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QString::fromStdString(text), &dialog);
    label->setWordWrap(true);
    layout->addWidget(label);
    auto* list = new QListWidget(&dialog);
    for (std::size_t i = 0; i < items.size(); ++i) {
      auto* item = new QListWidgetItem(QString::fromStdString(items[i]), list);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      item->setCheckState(i < chosen.size() && chosen[i] ? Qt::Checked : Qt::Unchecked);
    }
    list->setMinimumWidth(560);
    layout->addWidget(list);
    auto* buttons = new QDialogButtonBox(&dialog);
    buttons->addButton(QString::fromStdString(accept), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    WaitCursor::ResumeAll();
    if (!accepted) return false;
    chosen.assign(items.size(), false);
    for (int i = 0; i < list->count(); ++i) {
      chosen[static_cast<std::size_t>(i)] = list->item(i)->checkState() == Qt::Checked;
    }
    return true;
  }

  void Beep() override { QApplication::beep(); }

 private:
  static bool RunFileDialog(QFileDialog& dialog, std::string& path) {
    if (dialog.parentWidget() != nullptr) dialog.setWindowModality(Qt::WindowModal);
    WaitCursor::SuspendAll();
    // No filter list and no default suffix: "*.PSF" as the initial name lists
    // the .PSF files, and a name typed without extension is used as typed.
    dialog.setDefaultSuffix(QString());
    dialog.setNameFilter(QString());
    dialog.selectFile(QStringLiteral("*.PSF"));
    const bool accepted = dialog.exec() == QDialog::Accepted;
    WaitCursor::ResumeAll();
    if (!accepted) return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty() || files.front().isEmpty()) return false;
    path = files.front().toStdString();
    return true;
  }
};

Prompter* g_installed = nullptr;

}  // namespace

Prompter& CurrentPrompter() {
  static QtPrompter real;
  return g_installed != nullptr ? *g_installed : real;
}

void SetPrompter(Prompter* prompter) { g_installed = prompter; }

bool AskSendUnread(QWidget* parent) {
  return CurrentPrompter().Message(parent, kSendUnreadQuestion, kWindowCaption,
                                   PromptButtons::YesNoDefaultNo,
                                   PromptIcon::Question) == PromptAnswer::Yes;
}

std::string FileFailureDetail(const std::string& path, int err) {
  std::string detail = "File: " + path;
  if (err != 0) detail += std::string("\nReason: ") + std::strerror(err);
  return detail;
}

}  // namespace kelvt
