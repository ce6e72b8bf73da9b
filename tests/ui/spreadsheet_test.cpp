#include "tools/spreadsheet.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QTest>

#include "tools/grid_copy.h"

namespace kelvt {
namespace {

QStringList Headers() { return {"Board", "Num Channels", "Type", "State"}; }

void Fill(CSpreadSheet& grid, const char* prefix) {
  for (long r = 1; r <= grid.GetRowCount(); ++r) {
    grid.SetActiveRow(r);
    for (long c = 1; c <= grid.GetColumnCount(); ++c) {
      grid.SetActiveColumn(c);
      grid.SetActiveText(QStringLiteral("%1%2.%3").arg(prefix).arg(r).arg(c).toLatin1().constData());
    }
  }
}

TEST(SpreadSheet, DesignTimeLayout) {
  CSpreadSheet grid(Headers(), 500);
  EXPECT_EQ(grid.GetRowCount(), 500);
  EXPECT_EQ(grid.GetColumnCount(), 4);
  EXPECT_EQ(grid.HeaderText(1), "Board");
  EXPECT_EQ(grid.HeaderText(4), "State");
  EXPECT_EQ(grid.HeaderText(5), "");
}

TEST(SpreadSheet, RowAndColumnMayBeSetInEitherOrder) {
  CSpreadSheet grid(Headers(), 3);
  grid.SetActiveRow(2);
  grid.SetActiveColumn(3);
  grid.SetActiveText("E");
  grid.SetActiveColumn(1);
  grid.SetActiveRow(3);
  grid.SetActiveText("1");
  EXPECT_EQ(grid.CellText(2, 3), "E");
  EXPECT_EQ(grid.CellText(3, 1), "1");
  EXPECT_EQ(grid.CellText(2, 1), "");
}

TEST(SpreadSheet, HeaderRowAndCellsOutsideTheGridAreNeverWritten) {
  struct Case {
    long row, column;
  };
  const Case cases[] = {{0, 1}, {1, 0}, {0, 0}, {-1, 2}, {4, 1}, {1, 5}, {100000, 100000}};
  for (const Case& c : cases) {
    CSpreadSheet grid(Headers(), 3);
    grid.SetActiveRow(c.row);
    grid.SetActiveColumn(c.column);
    grid.SetActiveText("x");
    for (long r = 1; r <= 3; ++r)
      for (long col = 1; col <= 4; ++col) EXPECT_EQ(grid.CellText(r, col), "") << c.row << "," << c.column;
    EXPECT_EQ(grid.HeaderText(1), "Board");
  }
}

TEST(SpreadSheet, BlockClearEmptiesExactlyTheBlock) {
  struct Case {
    long first_row, first_col, last_row, last_col;
  };
  const Case cases[] = {
      {1, 1, 3, 4},   // whole grid
      {2, 2, 3, 3},   // inner block
      {3, 4, 1, 1},   // corners given backwards
      {2, 1, 99, 9},  // block reaching past the end
  };
  for (const Case& c : cases) {
    CSpreadSheet grid(Headers(), 3);
    Fill(grid, "v");
    grid.SetBlockActive(true);
    grid.SetActiveRow(c.first_row);
    grid.SetActiveColumn(c.first_col);
    grid.SetBlockLastRow(c.last_row);
    grid.SetBlockLastColumn(c.last_col);
    grid.SetActiveText("");
    grid.SetBlockActive(false);
    const long r0 = std::min(c.first_row, c.last_row), r1 = std::max(c.first_row, c.last_row);
    const long c0 = std::min(c.first_col, c.last_col), c1 = std::max(c.first_col, c.last_col);
    for (long r = 1; r <= 3; ++r) {
      for (long col = 1; col <= 4; ++col) {
        const bool inside = r >= r0 && r <= r1 && col >= c0 && col <= c1;
        EXPECT_EQ(grid.CellText(r, col).isEmpty(), inside) << r << "," << col;
      }
    }
    // Block off again: a text goes to the single active cell only.
    grid.SetActiveRow(1);
    grid.SetActiveColumn(1);
    grid.SetActiveText("one");
    EXPECT_EQ(grid.CellText(1, 1), "one");
    EXPECT_NE(grid.CellText(1, 2), "one");
  }
}

TEST(SpreadSheet, RowCountAddsAndDropsAtTheEnd) {
  CSpreadSheet grid(Headers(), 4);
  Fill(grid, "a");
  grid.SetRowCount(2);
  EXPECT_EQ(grid.GetRowCount(), 2);
  EXPECT_EQ(grid.CellText(2, 4), "a2.4");
  EXPECT_EQ(grid.CellText(3, 1), "");
  grid.SetRowCount(5);
  EXPECT_EQ(grid.GetRowCount(), 5);
  EXPECT_EQ(grid.CellText(1, 1), "a1.1");
  EXPECT_EQ(grid.CellText(4, 1), "") << "new rows start empty";
  grid.SetRowCount(-3);
  EXPECT_EQ(grid.GetRowCount(), 0);
}

TEST(SpreadSheet, PaintingSuspendsUpdates) {
  CSpreadSheet grid(Headers(), 2);
  grid.show();
  QCoreApplication::processEvents();
  grid.SetPainting(false);
  grid.SetActiveRow(1);
  grid.SetActiveColumn(1);
  grid.SetActiveText("hidden");
  // A paint while painting is off draws nothing and is made good after.
  const QImage before = grid.viewport()->grab().toImage();
  grid.viewport()->repaint();
  EXPECT_EQ(grid.viewport()->grab().toImage(), before);
  grid.SetPainting(true);
  EXPECT_NE(grid.viewport()->grab().toImage(), before);
  EXPECT_EQ(grid.CellText(1, 1), "hidden");
}

TEST(SpreadSheet, NullTextClearsTheCell) {
  CSpreadSheet grid(Headers(), 1);
  grid.SetActiveText("x");
  grid.SetActiveText(nullptr);
  EXPECT_EQ(grid.CellText(1, 1), "");
}

TEST(SpreadSheet, CopyPutsTheSelectionOnTheClipboardAsTabSeparatedText) {
  struct Range { int top, left, bottom, right; };
  struct Case { std::vector<Range> ranges; QString text; };
  const Case cases[] = {
      {{{1, 1, 1, 1}}, "c2.2"},
      {{{0, 0, 1, 3}}, "c1.1\tc1.2\tc1.3\tc1.4\nc2.1\tc2.2\tc2.3\tc2.4"},
      {{{2, 2, 2, 3}}, "c3.3\tc3.4"},
      // Two blocks: the cells between them stay empty, keeping the columns.
      {{{0, 0, 0, 0}, {2, 2, 2, 2}}, "c1.1\t\n\tc3.3"},
      {{}, ""},
  };
  CSpreadSheet grid(Headers(), 3);
  Fill(grid, "c");
  grid.show();
  QApplication::setActiveWindow(&grid);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
  QAction* copy = grid.findChild<QAction*>("copyAction");
  ASSERT_NE(copy, nullptr);
  EXPECT_TRUE(grid.actions().contains(copy));
  // The context menu pops up and the call returns: no nested loop to stall a scan.
  emit grid.customContextMenuRequested(QPoint(4, 4));
  auto* menu = grid.findChild<QMenu*>("gridMenu");
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  EXPECT_TRUE(menu->actions().contains(copy));
  menu->close();
  for (const Case& c : cases) {
    grid.clearSelection();
    for (const Range& r : c.ranges) {
      grid.setRangeSelected(QTableWidgetSelectionRange(r.top, r.left, r.bottom, r.right), true);
    }
    EXPECT_EQ(SelectionTsv(grid), c.text);
    QApplication::clipboard()->setText("before");
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_C, Qt::ControlModifier);
    // Nothing selected leaves the clipboard alone.
    EXPECT_EQ(QApplication::clipboard()->text(), c.text.isEmpty() ? "before" : c.text);
  }
  // The context menu's item copies the same; tabs and line breaks in a cell
  // would break the rows apart.
  grid.SetActiveRow(1);
  grid.SetActiveColumn(1);
  grid.SetActiveText("a\tb\nc");
  grid.clearSelection();
  grid.setRangeSelected(QTableWidgetSelectionRange(0, 0, 0, 1), true);
  copy->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), "a b c\tc1.2");
}

}  // namespace
}  // namespace kelvt
