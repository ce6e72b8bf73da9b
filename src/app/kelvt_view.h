#pragma once
// The main window's central area: empty, since all work happens in the
// operations' modal dialogs.

#include <QWidget>

namespace kelvt {

class CKelvtView : public QWidget {
 public:
  explicit CKelvtView(QWidget* parent = nullptr) : QWidget(parent) {
    setObjectName(QStringLiteral("CKelvtView"));
  }
};

}  // namespace kelvt
