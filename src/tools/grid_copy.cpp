#include "tools/grid_copy.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QTableWidget>
#include <set>

namespace kelvt {

QString SelectionTsv(const QTableWidget& table) {
  const QModelIndexList selected = table.selectionModel() != nullptr
                                       ? table.selectionModel()->selectedIndexes()
                                       : QModelIndexList();
  std::set<int> rows;
  std::set<int> columns;
  for (const QModelIndex& index : selected) {
    rows.insert(index.row());
    columns.insert(index.column());
  }
  QStringList lines;
  for (int r : rows) {
    QStringList cells;
    for (int c : columns) {
      QString text;
      const QTableWidgetItem* cell = table.item(r, c);
      if (cell != nullptr && table.selectionModel()->isSelected(table.model()->index(r, c))) {
        text = cell->text();
        // A tab or line break inside would shift the cells after it.
        text.replace(QLatin1Char('\t'), QLatin1Char(' '));
        text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
      }
      cells << text;
    }
    lines << cells.join(QLatin1Char('\t'));
  }
  return lines.join(QLatin1Char('\n'));
}

void AddCopyAction(QTableWidget* table) {
  auto* copy = new QAction(QStringLiteral("&Copy"), table);
  copy->setObjectName(QStringLiteral("copyAction"));
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  QObject::connect(copy, &QAction::triggered, table, [table] {
    const QString text = SelectionTsv(*table);
    if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
  });
  table->addAction(copy);
  // popup(), not exec(): a nested event loop would stall a scan that is
  // waiting on the line while the menu is up.
  table->setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(table, &QWidget::customContextMenuRequested, table, [table, copy](QPoint at) {
    auto* menu = new QMenu(table);
    menu->setObjectName(QStringLiteral("gridMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(copy);
    menu->popup(table->viewport()->mapToGlobal(at));
  });
}

}  // namespace kelvt
