#pragma once
// The grid of the alignment, diagnostics and measurement dialogs: a table
// driven through an active cell and an optional block, like the property
// interface the dialogs were designed against. Rows and columns count from
// 1; row 0 is the header row, which the program never writes. Selected
// cells copy out as tab-separated text (grid_copy.h).

#include <QStringList>
#include <QTableWidget>

namespace kelvt {

class CSpreadSheet : public QTableWidget {
  Q_OBJECT

 public:
  explicit CSpreadSheet(QWidget* parent = nullptr);
  // The design-time layout: column headers and the initial number of rows.
  CSpreadSheet(const QStringList& headers, long rows, QWidget* parent = nullptr);

  void SetActiveRow(long row);
  void SetActiveColumn(long column);
  // Text of the active cell, or of every cell of the block when one is active.
  void SetActiveText(const char* text);
  void SetBlockActive(bool active);
  void SetBlockLastRow(long row);
  void SetBlockLastColumn(long column);
  long GetRowCount() const;
  // Adds or drops rows at the end.
  void SetRowCount(long rows);
  long GetColumnCount() const;
  // false: no repainting while cells change; true: repaint with all changes.
  void SetPainting(bool painting);

  // The design-time layout.
  void SetColumnHeaders(const QStringList& headers);

  // Reading back what the grid shows (row and column from 1; "" outside).
  QString CellText(long row, long column) const;
  QString HeaderText(long column) const;
  bool Painting() const { return painting_; }
  long ActiveRow() const { return active_row_; }
  long ActiveColumn() const { return active_column_; }

 protected:
  bool viewportEvent(QEvent* event) override;

 private:
  void WriteCell(long row, long column, const QString& text);

  long active_row_ = 1;
  long active_column_ = 1;
  bool block_active_ = false;
  long block_last_row_ = 1;
  long block_last_column_ = 1;
  bool painting_ = true;
  bool paint_held_ = false;  // a paint came while painting was off
};

}  // namespace kelvt
