#include "gui/accessible_names.h"

#include <QGridLayout>
#include <QLabel>
#include <QStringList>

namespace kelvt {

namespace {

// The text of the label that covers cell (row, column), or empty.
QString LabelAt(const QGridLayout* grid, int row, int column) {
  for (int i = 0; i < grid->count(); ++i) {
    int r = 0, c = 0, rows = 0, columns = 0;
    grid->getItemPosition(i, &r, &c, &rows, &columns);
    if (row < r || row >= r + rows || column < c || column >= c + columns) continue;
    if (const auto* label = qobject_cast<const QLabel*>(grid->itemAt(i)->widget())) {
      return label->text().remove(QLatin1Char('&')).trimmed();
    }
  }
  return {};
}

}  // namespace

void NameGridControls(QGridLayout* grid) {
  for (int i = 0; i < grid->count(); ++i) {
    QWidget* control = grid->itemAt(i)->widget();
    if (control == nullptr || qobject_cast<QLabel*>(control) != nullptr ||
        control->focusPolicy() == Qt::NoFocus || !control->accessibleName().isEmpty()) {
      continue;
    }
    int row = 0, column = 0, rows = 0, columns = 0;
    grid->getItemPosition(i, &row, &column, &rows, &columns);
    // The row's caption, to its left, then the column's captions, from the top down.
    QStringList parts;
    for (int c = column - 1; c >= 0 && parts.isEmpty(); --c) {
      const QString text = LabelAt(grid, row, c);
      if (!text.isEmpty()) parts << text;
    }
    for (int r = 0; r < row; ++r) {
      const QString text = LabelAt(grid, r, column);
      if (!text.isEmpty() && !parts.contains(text)) parts << text;
    }
    if (!parts.isEmpty()) control->setAccessibleName(parts.join(QStringLiteral(", ")));
  }
}

}  // namespace kelvt
