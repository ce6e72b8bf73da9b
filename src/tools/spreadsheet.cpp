#include "tools/spreadsheet.h"

#include <QHeaderView>
#include <QTableWidgetItem>
#include <algorithm>
#include <climits>

#include "tools/grid_copy.h"

namespace kelvt {
namespace {
// Keeps a row count within what the table can hold.
int ClampCount(long n) { return static_cast<int>(std::clamp<long>(n, 0, INT_MAX / 2)); }
}  // namespace

CSpreadSheet::CSpreadSheet(QWidget* parent) : QTableWidget(parent) {
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Cells can be selected only to be copied out (Ctrl+C, context menu).
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  AddCopyAction(this);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
}

CSpreadSheet::CSpreadSheet(const QStringList& headers, long rows, QWidget* parent)
    : CSpreadSheet(parent) {
  SetColumnHeaders(headers);
  SetRowCount(rows);
}

void CSpreadSheet::SetColumnHeaders(const QStringList& headers) {
  setColumnCount(static_cast<int>(headers.size()));
  setHorizontalHeaderLabels(headers);
}

void CSpreadSheet::SetActiveRow(long row) { active_row_ = row; }

void CSpreadSheet::SetActiveColumn(long column) { active_column_ = column; }

void CSpreadSheet::SetBlockActive(bool active) { block_active_ = active; }

void CSpreadSheet::SetBlockLastRow(long row) { block_last_row_ = row; }

void CSpreadSheet::SetBlockLastColumn(long column) { block_last_column_ = column; }

void CSpreadSheet::SetActiveText(const char* text) {
  const QString value = QString::fromLatin1(text != nullptr ? text : "");
  if (!block_active_) {
    WriteCell(active_row_, active_column_, value);
    return;
  }
  // Only existing cells are written, so a block past the end costs nothing.
  const long first_row = std::max(1L, std::min(active_row_, block_last_row_));
  const long last_row = std::min<long>(rowCount(), std::max(active_row_, block_last_row_));
  const long first_col = std::max(1L, std::min(active_column_, block_last_column_));
  const long last_col =
      std::min<long>(columnCount(), std::max(active_column_, block_last_column_));
  for (long r = first_row; r <= last_row; ++r) {
    for (long c = first_col; c <= last_col; ++c) WriteCell(r, c, value);
  }
}

void CSpreadSheet::WriteCell(long row, long column, const QString& text) {
  // Row 0 is the header row; cells outside the grid do not exist.
  if (row < 1 || column < 1 || row > rowCount() || column > columnCount()) return;
  const int r = static_cast<int>(row - 1);
  const int c = static_cast<int>(column - 1);
  QTableWidgetItem* cell = item(r, c);
  if (cell == nullptr) {
    if (text.isEmpty()) return;
    cell = new QTableWidgetItem(text);
    setItem(r, c, cell);
    return;
  }
  if (cell->text() != text) cell->setText(text);
}

long CSpreadSheet::GetRowCount() const { return rowCount(); }

void CSpreadSheet::SetRowCount(long rows) { setRowCount(ClampCount(rows)); }

long CSpreadSheet::GetColumnCount() const { return columnCount(); }

void CSpreadSheet::SetPainting(bool painting) {
  // Turning the widget's updates off and on would redraw the whole grid
  // each scan; the cells changed meanwhile have asked for their own redraw,
  // so only a paint that came while painting was off is made good.
  painting_ = painting;
  if (painting && paint_held_) {
    paint_held_ = false;
    viewport()->update();
  }
}

bool CSpreadSheet::viewportEvent(QEvent* event) {
  if (event->type() == QEvent::Paint && !painting_) {
    paint_held_ = true;
    return true;
  }
  return QTableWidget::viewportEvent(event);
}

QString CSpreadSheet::CellText(long row, long column) const {
  if (row < 1 || column < 1 || row > rowCount() || column > columnCount()) return {};
  const QTableWidgetItem* cell = item(static_cast<int>(row - 1), static_cast<int>(column - 1));
  return cell != nullptr ? cell->text() : QString();
}

QString CSpreadSheet::HeaderText(long column) const {
  if (column < 1 || column > columnCount()) return {};
  const QTableWidgetItem* header = horizontalHeaderItem(static_cast<int>(column - 1));
  return header != nullptr ? header->text() : QString();
}

}  // namespace kelvt
