#pragma once
// Copying out of the grids: the selected cells as tab-separated text, one
// line per row, the way spreadsheets and text editors take a paste.

#include <QString>

class QTableWidget;

namespace kelvt {

// The selected cells of `table`: the rows and columns that hold a selected
// cell, in order, with the cells between that are not selected left empty.
// Tabs and line breaks inside a cell become blanks. Empty when nothing is
// selected.
QString SelectionTsv(const QTableWidget& table);

// Gives `table` a Copy action: Ctrl+C while it has the focus, and its
// context menu. The action puts SelectionTsv on the clipboard.
void AddCopyAction(QTableWidget* table);

}  // namespace kelvt
