#pragma once
// The About box: program name, version and what the tool is for.

#include <QDialog>

namespace kelvt {

// "2.0.0": the version the program was built as.
const char* ProgramVersion();

class CAboutDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace kelvt
