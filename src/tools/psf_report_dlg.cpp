#include "tools/psf_report_dlg.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <cstdio>

#include "gui/prompter.h"

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
  page_ = new QTextBrowser(this);
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
  // Written to a new file beside the target and renamed over it only when
  // complete, so a file being replaced is never left half written.
  QTemporaryFile part(path + QStringLiteral(".XXXXXX"));
  if (!part.open()) return false;
  part.close();  // QPrinter writes it by name
  // A temporary file is private; the report is an ordinary document.
  part.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                      QFileDevice::ReadOther);
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(part.fileName());
  page_->document()->print(&printer);
  // QPrinter says nothing when the file cannot be made: look at it.
  if (QFileInfo(part.fileName()).size() <= 0) return false;
  if (std::rename(QFile::encodeName(part.fileName()).constData(),
                  QFile::encodeName(path).constData()) != 0) {
    return false;
  }
  part.setAutoRemove(false);  // it is the target now
  return true;
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
