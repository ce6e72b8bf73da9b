#include "ui/support/ui_test_util.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tools/spreadsheet.h"

namespace kelvt::test {

TempConfigHome::TempConfigHome() {
  char templ[] = "/tmp/kelvt-config-XXXXXX";
  const char* made = mkdtemp(templ);
  folder_ = made != nullptr ? made : "/tmp";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  had_old_ = old != nullptr;
  if (had_old_) old_value_ = old;
  setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
}

TempConfigHome::~TempConfigHome() {
  if (had_old_) setenv("XDG_CONFIG_HOME", old_value_.c_str(), 1);
  else unsetenv("XDG_CONFIG_HOME");
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

std::vector<std::string> TabChain(QWidget* start) {
  std::vector<std::string> names;
  QWidget* w = start;
  do {
    if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->window() == start->window()) {
      names.push_back(w->objectName().toStdString());
    }
    w = w->nextInFocusChain();
  } while (w != nullptr && w != start && names.size() < 500);
  return names;
}

bool TempConfigHome::SettingsExist() const { return std::filesystem::exists(SettingsPath()); }

std::string TempConfigHome::ReadSettings() const {
  std::ifstream in(SettingsPath(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void TempConfigHome::WriteSettings(const std::string& text) const {
  std::ofstream(SettingsPath(), std::ios::binary) << text;
}

std::vector<std::string> GridRows(const CSpreadSheet* grid) {
  std::vector<std::string> rows;
  for (long r = 1; r <= grid->GetRowCount(); ++r) {
    const QString a = grid->CellText(r, 1);
    const QString b = grid->CellText(r, 2);
    if (a.isEmpty() && b.isEmpty()) continue;
    rows.push_back((a + "|" + b).toStdString());
  }
  return rows;
}

QString SaveScreenshot(QWidget* widget, const QString& name) {
#ifdef KELVT_SCREENSHOT_DIR
  const QString folder = QStringLiteral(KELVT_SCREENSHOT_DIR);
#else
  const QString folder = QDir::tempPath();
#endif
  QDir().mkpath(folder);
  const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
  return widget->grab().save(path) ? path : QString();
}

ModalWatch WhenModal(std::function<void(QWidget*)> action, int timeout_ms) {
  auto* timer = new QTimer;
  timer->setProperty("done", false);
  auto waited = std::make_shared<int>(0);
  constexpr int kStepMs = 5;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, waited, action, timeout_ms] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible()) {
      timer->stop();
      timer->setProperty("done", true);
      action(modal);
      return;
    }
    *waited += kStepMs;
    if (*waited >= timeout_ms) timer->stop();
  });
  timer->start(kStepMs);
  return ModalWatch(timer);
}

ModalWatch::~ModalWatch() { delete timer_; }

bool ModalWatch::Done() const { return timer_ != nullptr && timer_->property("done").toBool(); }

}  // namespace kelvt::test
