#include "tools/diagnostics_dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "gui/active_dialog.h"
#include "tools/diagnostics_operation.h"
#include "tools/spreadsheet.h"

namespace kelvt {
namespace {

QLabel* ValueLabel(const QString& text, const char* name, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QLatin1String(name));
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setMinimumWidth(220);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

// Writes one board's row: number within its kind, channels, kind, error.
void WriteBoardRow(CSpreadSheet& grid, long row, int number, const BoardEntry& board,
                   const char* kind) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", number);
  grid.SetActiveRow(row);
  grid.SetActiveColumn(1);
  grid.SetActiveText(text);
  grid.SetActiveColumn(2);
  grid.SetActiveText(DiagnosticRecord::ChannelCountText(board));
  grid.SetActiveColumn(3);
  grid.SetActiveText(kind);
  grid.SetActiveColumn(4);
  grid.SetActiveText(DiagnosticRecord::ErrorCodeName(board.error_code));
}

// A count the record holds boards for.
int Boards(int count) { return std::clamp(count, 0, kMaxBoards); }

}  // namespace

CDiagnosticsDlg::CDiagnosticsDlg(DiagnosticsOperation* operation, QWidget* parent)
    : LoopDialog(parent), operation(operation) {
  setWindowTitle(QStringLiteral("Diagnostics"));
  setObjectName(QStringLiteral("CDiagnosticsDlg"));

  // The design-time texts; Display replaces them before the dialog shows.
  system_state = ValueLabel(QStringLiteral("No Response from Emit and Rcv"), "system_state", this);
  emitter_count = ValueLabel(QStringLiteral("Emit Value"), "emitter_count", this);
  receiver_count = ValueLabel(QStringLiteral("Rcv Value"), "receiver_count", this);
  part_number = ValueLabel(QString(), "part_number", this);
  date_code = ValueLabel(QString(), "date_code", this);
  // Empty until Display: a screen reader still needs to know what they hold.
  part_number->setAccessibleName(QStringLiteral("Part Number"));
  date_code->setAccessibleName(QStringLiteral("Date Code"));

  board_grid = new CSpreadSheet(
      {QStringLiteral("Board"), QStringLiteral("Num Channels"), QStringLiteral("Type"),
       QStringLiteral("State")},
      500, this);
  board_grid->setObjectName(QStringLiteral("board_grid"));
  board_grid->setAccessibleName(QStringLiteral("Boards"));
  board_grid->setMinimumSize(440, 200);
  board_grid->horizontalHeader()->setStretchLastSection(true);

  exit_button = new QPushButton(QStringLiteral("&Exit"), this);
  exit_button->setObjectName(QStringLiteral("exit"));
  exit_button->setDefault(true);
  refresh_button = new QPushButton(QStringLiteral("&Refresh"), this);
  refresh_button->setObjectName(QStringLiteral("refresh"));
  connect(exit_button, &QPushButton::clicked, this, &QDialog::accept);
  connect(refresh_button, &QPushButton::clicked, this, &CDiagnosticsDlg::OnRefresh);

  auto* values = new QGridLayout;
  values->addWidget(new QLabel(QStringLiteral("System State:"), this), 0, 0);
  values->addWidget(system_state, 0, 1);
  values->addWidget(new QLabel(QStringLiteral("Number Of Emitter Boards:"), this), 1, 0);
  values->addWidget(emitter_count, 1, 1);
  values->addWidget(new QLabel(QStringLiteral("Number Of Receiver Boards:"), this), 2, 0);
  values->addWidget(receiver_count, 2, 1);

  auto* buttons = new QVBoxLayout;
  buttons->addWidget(exit_button);
  buttons->addWidget(refresh_button);
  buttons->addStretch();

  auto* top = new QHBoxLayout;
  top->addLayout(values, 1);
  top->addLayout(buttons);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(new QLabel(QStringLiteral("Part Number:"), this));
  bottom->addWidget(part_number, 1);
  bottom->addSpacing(16);
  bottom->addWidget(new QLabel(QStringLiteral("Date Code:"), this));
  bottom->addWidget(date_code, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(board_grid, 1);
  layout->addLayout(bottom);

  // The labels of part number and date code start blank, then the record shows.
  Display();
}

void CDiagnosticsDlg::Display() {
  const DiagnosticRecord& d = operation->diagnostics;
  system_state->setText(QString::fromLatin1(d.SystemStateName()));
  if (d.emitter_count > 0) {
    emitter_count->setText(QString::number(d.emitter_count));
  } else {
    emitter_count->setText(QStringLiteral("No Response From Emitter"));
    system_state->setText(QStringLiteral("Sensor Not Responding"));
  }
  if (d.receiver_count > 0) {
    receiver_count->setText(QString::number(d.receiver_count));
  } else {
    receiver_count->setText(QStringLiteral("No Response From Receiver"));
    system_state->setText(QStringLiteral("Sensor Not Responding"));
  }
  // Fixed fields of the record: never read past their ends.
  part_number->setText(QString::fromLatin1(d.part_number, static_cast<int>(qstrnlen(d.part_number, sizeof d.part_number))));
  date_code->setText(QString::fromLatin1(d.date_code, static_cast<int>(qstrnlen(d.date_code, sizeof d.date_code))));

  const int emitters = Boards(d.emitter_count);
  const int receivers = Boards(d.receiver_count);
  board_grid->SetRowCount(emitters + receivers);
  long row = 1;
  for (int i = 0; i < emitters; ++i) WriteBoardRow(*board_grid, row++, i + 1, d.emitter_boards[i], "E");
  for (int i = 0; i < receivers; ++i) WriteBoardRow(*board_grid, row++, i + 1, d.receiver_boards[i], "R");
}

void CDiagnosticsDlg::OnRefresh() {
  // A second click while the read waits is ignored; so is closing the dialog.
  if (LoopRunning()) return;
  CommandScope busy(*this);  // Refresh and Exit stay disabled while the read waits
  WaitCursor wait;
  operation->ReadDiagnostics();  // its failure was told; show what the record holds
  Display();
}

QString CDiagnosticsDlg::SystemStateText() const { return system_state->text(); }
QString CDiagnosticsDlg::EmitterCountText() const { return emitter_count->text(); }
QString CDiagnosticsDlg::ReceiverCountText() const { return receiver_count->text(); }
QString CDiagnosticsDlg::PartNumberText() const { return part_number->text(); }
QString CDiagnosticsDlg::DateCodeText() const { return date_code->text(); }

}  // namespace kelvt
