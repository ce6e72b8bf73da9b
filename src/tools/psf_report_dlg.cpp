#include "tools/psf_report_dlg.h"

#include <QBuffer>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QPdfWriter>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "gui/prompter.h"
#include "platform/safe_file.h"

namespace kelvt {
namespace {

CPsfReportDlg::PdfPathChooser& Chooser() {
  static CPsfReportDlg::PdfPathChooser chooser;
  return chooser;
}

bool AskPdfPath(QWidget* parent, QString& path) {
  if (Chooser()) return Chooser()(parent, path);
  QFileDialog dialog(parent, QStringLiteral("Save as PDF"));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilter(QStringLiteral("PDF (*.pdf)"));
  dialog.setDefaultSuffix(QStringLiteral("pdf"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().front();
  return !path.isEmpty();
}

}  // namespace

void CPsfReportDlg::SetPdfPathChooser(PdfPathChooser chooser) { Chooser() = std::move(chooser); }

CPsfReportDlg::CPsfReportDlg(const QString& html, QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("PSF Report"));
  setWindowModality(Qt::WindowModal);  // the guide stays usable beside it
  page_ = new QTextBrowser(this);
  page_->setAccessibleName(QStringLiteral("Report"));
  page_->setObjectName(QStringLiteral("reportPage"));
  page_->setHtml(html);
  auto* print = new QPushButton(QStringLiteral("&Print..."), this);
  print->setObjectName(QStringLiteral("printButton"));
  auto* pdf = new QPushButton(QStringLiteral("Save as P&DF..."), this);
  pdf->setObjectName(QStringLiteral("pdfButton"));
  auto* close = new QPushButton(QStringLiteral("&Close"), this);
  close->setObjectName(QStringLiteral("closeButton"));
  connect(print, &QPushButton::clicked, this, &CPsfReportDlg::OnPrint);
  connect(pdf, &QPushButton::clicked, this, &CPsfReportDlg::OnSavePdf);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(print);
  buttons->addWidget(pdf);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(page_);
  layout->addLayout(buttons);
  resize(640, 720);
}

QString CPsfReportDlg::PageText() const { return page_->toPlainText(); }

bool CPsfReportDlg::SavePdf(const QString& path) {
  // Made in memory, then written as every other file of the tool is: a file
  // being replaced is never left half written.
  QBuffer pdf;
  pdf.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&pdf);
    writer.setResolution(300);
    page_->document()->print(&writer);
  }
  const QByteArray& bytes = pdf.data();
  if (bytes.isEmpty()) return false;
  return ReplaceFileDurably(QFile::encodeName(path).constData(), bytes.constData(),
                            static_cast<std::size_t>(bytes.size()), 0644) != 0;
}

void CPsfReportDlg::OnPrint() {
  QPrinter printer(QPrinter::HighResolution);
  // Qt's print dialog also offers printing to a PDF file.
  QPrintDialog dialog(&printer, this);
  if (dialog.exec() == QDialog::Accepted) page_->document()->print(&printer);
}

void CPsfReportDlg::OnSavePdf() {
  QString path;
  if (!AskPdfPath(this, path)) return;
  if (!SavePdf(path)) {
    CurrentPrompter().Message(this, "The PDF file could not be written.", "PSF Report",
                              PromptButtons::Ok, PromptIcon::Stop, "File: " + path.toStdString());
  }
}

}  // namespace kelvt
