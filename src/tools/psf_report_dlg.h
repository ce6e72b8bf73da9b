#pragma once
// The editor's Report window: the parameter set as the printable page that
// kelvt-cli psf show --html writes, with Print... and Save as PDF....

#include <QDialog>
#include <QString>
#include <functional>

class QTextBrowser;

namespace kelvt {

class CPsfReportDlg : public QDialog {
  Q_OBJECT

 public:
  CPsfReportDlg(const QString& html, QWidget* parent);

  // The page as shown (Qt's rendering of the report's HTML).
  QString PageText() const;
  // Writes the page as a PDF to `path`; false when it cannot be written.
  bool SavePdf(const QString& path);

  // Where Save as PDF... writes: true and a path, or false for Cancel.
  // Tests replace the file dialog; an empty chooser restores it.
  using PdfPathChooser = std::function<bool(QWidget* parent, QString& path)>;
  static void SetPdfPathChooser(PdfPathChooser chooser);

 public slots:
  void OnPrint();
  void OnSavePdf();

 private:
  QTextBrowser* page_;
};

}  // namespace kelvt
