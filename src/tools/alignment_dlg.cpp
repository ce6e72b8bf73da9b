#include "tools/alignment_dlg.h"

#include <QDateTime>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>

#include "gui/prompter.h"
#include "link/controller_link.h"
#include "tools/beam_waterfall.h"
#include "tools/curtain_view.h"
#include "tools/record_control.h"
#include "tools/spreadsheet.h"

namespace kelvt {

CAlignmentDlg::CAlignmentDlg(ControllerLink* link, int channel_count, QWidget* parent)
    : LoopDialog(parent),
      link(link),
      channel_count(channel_count > 0 ? channel_count : 0),
      last_scan(channel_count > 0 ? channel_count : 0),
      history_(channel_count > 0 ? channel_count : 0) {
  setWindowTitle(QStringLiteral("Alignment"));

  summary_grid = new CSpreadSheet({"Channel", "Broken", "Made"}, 3, this);
  summary_grid->verticalHeader()->hide();
  summary_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  summary_grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  summary_grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  summary_grid->setFixedHeight(summary_grid->horizontalHeader()->sizeHint().height() +
                               3 * summary_grid->verticalHeader()->defaultSectionSize() +
                               2 * summary_grid->frameWidth());

  range_grid = new CSpreadSheet({"Channel", "Status"}, kRangeRows, this);
  range_grid->verticalHeader()->hide();
  summary_grid->setAccessibleName(QStringLiteral("Summary"));
  range_grid->setAccessibleName(QStringLiteral("Channel ranges"));
  range_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);

  auto* options = new QGroupBox(QStringLiteral("Channel Status Options"), this);
  broken_button = new QRadioButton(QStringLiteral("&Broken"), options);
  made_button = new QRadioButton(QStringLiteral("&Made"), options);
  both_button = new QRadioButton(QStringLiteral("B&oth"), options);
  auto* radios = new QHBoxLayout;
  radios->addWidget(broken_button);
  radios->addWidget(made_button);
  radios->addWidget(both_button);
  auto* options_layout = new QVBoxLayout(options);
  options_layout->addLayout(radios);
  options_layout->addWidget(range_grid);

  curtain = new CurtainView(this);
  waterfall_ = new BeamWaterfall(&history_, curtain, this);
  flicker_label_ = new QLabel(QStringLiteral("Flickering: none"), this);

  run_button = new QPushButton(QStringLiteral("&Run"), this);
  stop_button = new QPushButton(QStringLiteral("&Stop"), this);
  exit_button = new QPushButton(QStringLiteral("E&xit"), this);
  stop_button->setEnabled(false);
  // Enter presses the focused button (Run after Stop, Stop while running),
  // as in the measurement view; Exit is the default only when no button has the focus.
  for (QPushButton* b : {run_button, stop_button, exit_button}) b->setAutoDefault(true);
  exit_button->setDefault(true);
  record_ = new RecordControl("alignment", this);

  // The curtain and, beside it on the same beam axis, the curtain over time.
  auto* picture = new QHBoxLayout;
  picture->setSpacing(2);
  picture->addWidget(curtain);
  picture->addWidget(waterfall_, 1);
  auto* right = new QVBoxLayout;
  right->addLayout(picture, 1);
  right->addWidget(flicker_label_);
  auto* left = new QVBoxLayout;
  left->addWidget(summary_grid);
  left->addWidget(options, 1);
  auto* top = new QHBoxLayout;
  top->addLayout(left, 2);
  top->addLayout(right, 3);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(run_button);
  buttons->addWidget(record_->CheckBox());
  buttons->addWidget(stop_button);
  buttons->addWidget(exit_button);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
  layout->addWidget(record_->StatusLabel());
  resize(860, 560);

  connect(run_button, &QPushButton::clicked, this, [this] { OnRun(); });
  connect(stop_button, &QPushButton::clicked, this, [this] { OnStop(); });
  connect(exit_button, &QPushButton::clicked, this, [this] { accept(); });
  connect(broken_button, &QRadioButton::clicked, this, [this] { OnBroken(); });
  connect(made_button, &QRadioButton::clicked, this, [this] { OnMade(); });
  connect(both_button, &QRadioButton::clicked, this, [this] { OnBoth(); });

  broken_button->setChecked(true);
  for (long row = 1; row <= kSummaryRows; ++row) {
    PutCellText(summary_grid, row, 1, kSummaryRowLabels[row - 1]);
  }
}

void CAlignmentDlg::OnRun() {
  if (running || link == nullptr) return;
  run_button->setEnabled(false);
  exit_button->setEnabled(false);
  stop_button->setEnabled(true);
  stop_button->setFocus();
  {
    // Registered as the active dialog so that Stop is seen while a scan
    // waits on the port; the dialog cannot close until the scope ends.
    LoopScope loop(*this, true);
    BeamBitmapScan current(channel_count);
    running = 1;
    record_->BeginAlignment();
    history_.Reset();
    ShowHistory();
    while (running) {
      if (!link->Scan(current)) {
        CurrentPrompter().Message(this, "Unable to Input Scan.", kAppTitle, PromptButtons::Ok,
                                  PromptIcon::Stop);
        running = 0;
        break;
      }
      record_->AppendAlignment(current);
      history_.Add(current, QDateTime::currentMSecsSinceEpoch());
      ShowHistory();
      if (!(scans_done > 0 && last_scan.Equals(current) && shown_filter == selected_filter)) {
        shown_filter = selected_filter;
        UpdateSummary(current.statistics);
        RebuildRangeList(current);
        curtain->ShowBeams(current);
        last_scan.Assign(current);
        ++display_rewrites;
      }
      ++scans_done;
      // Escape or the window's close button during the loop stops it; the
      // dialog itself stays open until Exit.
      if (CloseRequested()) running = 0;
    }
    record_->End();
  }
  stop_button->setEnabled(false);
  exit_button->setEnabled(true);
  run_button->setEnabled(true);
  run_button->setFocus();
}

void CAlignmentDlg::OnStop() { running = 0; }

void CAlignmentDlg::ShowHistory() {
  waterfall_->Refresh();
  char text[sizeof flicker_text_];
  FormatFlickeringList(history_, text, sizeof text);
  if (std::strcmp(text, flicker_text_) == 0) return;  // the label only changes with the list
  std::memcpy(flicker_text_, text, sizeof text);
  flicker_label_->setText(QStringLiteral("Flickering: ") +
                          (text[0] ? QString::fromLatin1(text) : QStringLiteral("none")));
}

void CAlignmentDlg::SelectFilter(ChannelFilter filter) {
  selected_filter = filter;
  // While a loop runs it redraws at its next scan: the two filters differ.
  if (!running && scans_done > 0) {
    shown_filter = selected_filter;
    RebuildRangeList(last_scan);
    ++display_rewrites;
  }
}

void CAlignmentDlg::PutCellText(CSpreadSheet* grid, long row, long column, const char* text) {
  grid->SetActiveColumn(column);
  grid->SetActiveRow(row);
  grid->SetActiveText(text);
}

void CAlignmentDlg::PutCellNumber(CSpreadSheet* grid, long row, long column, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  PutCellText(grid, row, column, text);
}

void CAlignmentDlg::UpdateSummary(const BeamStatistics& s) {
  BeamSummaryCells cells;
  FillBeamSummary(s, cells);
  summary_grid->SetPainting(false);
  for (int r = 0; r < kSummaryRows; ++r) {
    for (int c = 0; c < kSummaryColumns; ++c) PutCellText(summary_grid, r + 1, c + 2, cells.text[r][c]);
  }
  summary_grid->SetPainting(true);
}

void CAlignmentDlg::ClearRangeGrid() {
  range_grid->SetBlockActive(true);
  range_grid->SetActiveRow(1);
  range_grid->SetActiveColumn(1);
  range_grid->SetBlockLastRow(range_grid->GetRowCount());
  range_grid->SetBlockLastColumn(range_grid->GetColumnCount());
  range_grid->SetActiveText("");
  range_grid->SetBlockActive(false);
}

void CAlignmentDlg::RebuildRangeList(const BeamScan& scan) {
  range_grid->SetPainting(false);
  ClearRangeGrid();
  long row = 0;
  ForEachShownRun(scan, shown_filter, [&](const BeamRun& run) {
    ++row;
    // The grid holds 300 rows, more than any bar has runs; grow rather than
    // drop a range should a longer bar ever come.
    if (row > range_grid->GetRowCount()) range_grid->SetRowCount(row);
    char channels[kRunTextSize];
    FormatRunChannels(run, channels, sizeof channels);
    PutCellText(range_grid, row, 1, channels);
    PutCellText(range_grid, row, 2, BeamStateText(run.state));
  });
  range_grid->SetPainting(true);
}

}  // namespace kelvt
