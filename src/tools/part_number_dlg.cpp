#include "tools/part_number_dlg.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/prompter.h"
#include "platform/profile.h"
#include "psf/date_code.h"
#include "psf/part_numbers.h"

namespace kelvt {

CPartNumberDlg::Entries CPartNumberDlg::SettingsEntries() {
  Profile profile(SettingsFilePath());
  profile.Load();  // a missing file is an empty list
  return profile.Entries("PartNumbers");
}

CPartNumberDlg::CPartNumberDlg(QWidget* parent) : CPartNumberDlg(SettingsEntries(), parent) {}

CPartNumberDlg::CPartNumberDlg(const Entries& entries, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Set Part Number and Date Code"));
  setWindowModality(Qt::WindowModal);

  auto* list_group = new QGroupBox(QStringLiteral("&Select Part Number"), this);
  list = new QListWidget(list_group);
  list->setAccessibleName(QStringLiteral("Part numbers"));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setSortingEnabled(false);
  auto* list_layout = new QVBoxLayout(list_group);
  list_layout->addWidget(list);

  auto* date_group = new QGroupBox(QStringLiteral("&Date Code"), this);
  date_field = new QLineEdit(date_group);
  date_field->setReadOnly(true);
  auto* date_layout = new QVBoxLayout(date_group);
  date_layout->addWidget(date_field);

  auto* buttons = new QDialogButtonBox(this);
  ok_button = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  cancel_button = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  ok_button->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // A double-click chooses the part number, as OK does.
  connect(list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
    list->setCurrentItem(item);
    accept();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(list_group, 1);
  layout->addWidget(date_group);
  layout->addWidget(buttons);
  resize(300, 320);

  Fill(entries);
  if (list->count() > 0) part_number = list->item(0)->text().toLatin1().toStdString();

  char code[kDateCodeSize];
  TodayDateCode(code);
  date_code = code;

  // What the dialog shows: the date code and the preselected part number.
  date_field->setText(QString::fromStdString(date_code));
  if (list->count() > 0) {
    list->setCurrentRow(0);
    list->setFocus();
  }
}

void CPartNumberDlg::Fill(const Entries& entries) {
  const PartNumberChoice choice = ChoosePartNumbers(entries);
  for (const std::string& warning : choice.warnings) {
    CurrentPrompter().Message(this, warning, kAppTitle, PromptButtons::Ok, PromptIcon::None);
  }
  for (const std::string& value : choice.part_numbers) {
    // The bytes as they stand in the file: the controller stores bytes.
    list->addItem(QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size())));
  }
}

void CPartNumberDlg::accept() {
  const QList<QListWidgetItem*> selected = list->selectedItems();
  part_number = selected.isEmpty() ? std::string() : selected.front()->text().toLatin1().toStdString();
  QDialog::accept();
}

}  // namespace kelvt
