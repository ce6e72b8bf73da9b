#pragma once
// "Set Part Number and Date Code": the site's part numbers from the settings
// file's PartNumbers section, in file order, and today's date code.

#include <QDialog>
#include <string>
#include <utility>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace kelvt {

class CPartNumberDlg : public QDialog {
  Q_OBJECT

 public:
  using Entries = std::vector<std::pair<std::string, std::string>>;

  // Reads the PartNumbers section of the settings file.
  explicit CPartNumberDlg(QWidget* parent = nullptr);
  // Offers the given (name, value) entries, in their order.
  CPartNumberDlg(const Entries& entries, QWidget* parent = nullptr);

  // The selected part number on OK ("" when nothing is selected), and the
  // date code taken when the dialog opened.
  const std::string& PartNumber() const { return part_number; }
  const std::string& DateCode() const { return date_code; }

  QListWidget* PartNumberList() const { return list; }
  QLineEdit* DateCodeField() const { return date_field; }
  QPushButton* OkButton() const { return ok_button; }
  QPushButton* CancelButton() const { return cancel_button; }

  static Entries SettingsEntries();

  void accept() override;

 private:
  void Fill(const Entries& entries);

  QListWidget* list;
  QLineEdit* date_field;
  QPushButton* ok_button;
  QPushButton* cancel_button;
  std::string part_number;
  std::string date_code;
};

}  // namespace kelvt
