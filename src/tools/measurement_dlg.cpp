#include "tools/measurement_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

#include "gui/prompter.h"
#include "link/controller_link.h"
#include "link/scan_record.h"
#include "tools/measurement_plot.h"
#include "tools/record_control.h"
#include "tools/spreadsheet.h"

namespace kelvt {
namespace {

constexpr int kValueColumnFirst = 2;
constexpr int kValueColumnLast = 4;

}  // namespace

CMeasurementDlg::CMeasurementDlg(ControllerLink* link, QWidget* parent)
    : LoopDialog(parent), link(link) {
  setWindowTitle(QStringLiteral("Measurement Output"));

  enabled_label_ = new QLabel(QStringLiteral("Number of Measurements Enabled:"), this);
  enabled_value_ = new QLabel(this);
  enabled_value_->setObjectName(QStringLiteral("enabledCount"));
  // Part of the layout but never filled: kept hidden.
  enabled_label_->hide();
  enabled_value_->hide();

  grid = new CSpreadSheet(
      {QStringLiteral("Measurement"), QStringLiteral("Low"), QStringLiteral("High"),
       QStringLiteral("Present")},
      2, this);
  grid->setObjectName(QStringLiteral("valueGrid"));
  grid->setAccessibleName(QStringLiteral("Measurements"));
  grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  grid->setMinimumWidth(360);
  grid->setFixedHeight(grid->horizontalHeader()->sizeHint().height() +
                       2 * grid->verticalHeader()->defaultSectionSize() + 4);

  plot_ = new MeasurementPlot(this);
  plot_->setObjectName(QStringLiteral("trendPlot"));

  run_button = new QPushButton(QStringLiteral("&Run"), this);
  stop_button = new QPushButton(QStringLiteral("&Stop"), this);
  step_button = new QPushButton(QStringLiteral("S&tep"), this);
  exit_button = new QPushButton(QStringLiteral("E&xit"), this);
  run_button->setObjectName(QStringLiteral("runButton"));
  stop_button->setObjectName(QStringLiteral("stopButton"));
  step_button->setObjectName(QStringLiteral("stepButton"));
  exit_button->setObjectName(QStringLiteral("exitButton"));
  stop_button->setEnabled(false);
  exit_button->setDefault(true);
  record_ = new RecordControl("measurement", this);

  auto* left = new QVBoxLayout;
  auto* count_row = new QHBoxLayout;
  count_row->addWidget(enabled_label_);
  count_row->addWidget(enabled_value_);
  count_row->addStretch();
  left->addLayout(count_row);
  left->addWidget(grid);
  left->addWidget(plot_);
  left->addWidget(plot_->Controls());
  left->addWidget(record_->StatusLabel());

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(run_button);
  buttons->addWidget(record_->CheckBox());
  buttons->addWidget(stop_button);
  buttons->addWidget(step_button);
  buttons->addWidget(exit_button);
  buttons->addStretch();

  auto* top = new QHBoxLayout(this);
  top->addLayout(left, 1);
  top->addLayout(buttons);

  connect(run_button, &QPushButton::clicked, this, &CMeasurementDlg::OnRun);
  connect(stop_button, &QPushButton::clicked, this, &CMeasurementDlg::OnStop);
  connect(step_button, &QPushButton::clicked, this, &CMeasurementDlg::OnStep);
  connect(exit_button, &QPushButton::clicked, this, &QDialog::accept);
}

void CMeasurementDlg::showEvent(QShowEvent* event) {
  if (!initialised_) {
    initialised_ = true;
    OnInitDialog();
  }
  LoopDialog::showEvent(event);
}

void CMeasurementDlg::OnInitDialog() {
  grid->SetActiveRow(1);
  grid->SetActiveColumn(1);
  grid->SetActiveText(label1);
  grid->SetActiveRow(2);
  grid->SetActiveColumn(1);
  grid->SetActiveText(label2);
  plot_->SetLabels(QString::fromLatin1(label1), QString::fromLatin1(label2));
  ClearValues();
}

void CMeasurementDlg::ClearValues() {
  grid->SetBlockActive(true);
  grid->SetActiveRow(1);
  grid->SetActiveColumn(kValueColumnFirst);
  grid->SetBlockLastRow(2);
  grid->SetBlockLastColumn(kValueColumnLast);
  grid->SetActiveText("");
  grid->SetBlockActive(false);
}

void CMeasurementDlg::WriteRow(int row, const MeasurementStatistics& stats) {
  char text[16];
  const uint32_t cells[3] = {stats.low, stats.high, stats.present};
  grid->SetActiveRow(row);
  for (int i = 0; i < 3; ++i) {
    std::snprintf(text, sizeof text, "%u", static_cast<unsigned>(cells[i]));
    grid->SetActiveColumn(kValueColumnFirst + i);
    grid->SetActiveText(text);
  }
}

void CMeasurementDlg::ShowValues(const MeasurementScan& scan) {
  const bool one = ReportsMeasurement1(mode);
  const bool two = ReportsMeasurement2(mode);
  if (one) stats1.Update(scan.value1);
  if (two) stats2.Update(scan.value2);
  grid->SetPainting(false);
  if (one) WriteRow(1, stats1);
  if (two) WriteRow(2, stats2);
  grid->SetPainting(true);
  ++display_updates_;
  plot_->Redraw();
}

void CMeasurementDlg::ScanFailed() {
  CurrentPrompter().Message(this, "Could not input scan", kAppTitle, PromptButtons::Ok,
                            PromptIcon::None);
}

void CMeasurementDlg::OnRun() {
  if (scanning_ || running != 0) return;
  stop_button->setEnabled(true);
  run_button->setEnabled(false);
  step_button->setEnabled(false);
  exit_button->setEnabled(false);
  stop_button->setFocus();
  {
    LoopScope loop(*this, /*active=*/true);
    running = 1;
    ClearValues();
    stats1.Reset();
    stats2.Reset();
    plot_->Clear();
    record_->BeginMeasurement(mode);

    MeasurementScan previous(mode);
    MeasurementScan current(mode);
    bool first = true;
    const bool one = ReportsMeasurement1(mode);
    const bool two = ReportsMeasurement2(mode);
    while (running != 0) {
      scanning_ = true;
      const int scanned = link != nullptr ? link->Scan(current) : 0;
      scanning_ = false;
      if (scanned == 0) {
        ScanFailed();
        running = 0;
        break;
      }
      plot_->Record(one, current.value1, two, current.value2);
      if (first || current.Differs(previous)) ShowValues(current);
      record_->AppendMeasurement(mode, stats1, stats2);
      first = false;
      previous.CopyValues(current);
      // Closing is refused while the loop runs; asking for it stops the loop.
      if (CloseRequested()) running = 0;
    }
    record_->End();
  }
  run_button->setEnabled(true);
  step_button->setEnabled(true);
  exit_button->setEnabled(true);
  stop_button->setEnabled(false);
  run_button->setFocus();
}

void CMeasurementDlg::OnStop() { running = 0; }

void CMeasurementDlg::OnStep() {
  if (scanning_ || running != 0) return;
  LoopScope busy(*this);
  MeasurementScan scan(mode);
  scanning_ = true;
  const int scanned = link != nullptr ? link->Scan(scan) : 0;
  scanning_ = false;
  if (scanned == 0) {
    ScanFailed();
    return;
  }
  plot_->Record(ReportsMeasurement1(mode), scan.value1, ReportsMeasurement2(mode), scan.value2);
  ShowValues(scan);
  // A step adds to the recording of earlier steps; Run's Stop or Exit ends it.
  record_->BeginMeasurement(mode);
  record_->AppendMeasurement(mode, stats1, stats2);
  record_->End(/*keep_open=*/true);
}

}  // namespace kelvt
