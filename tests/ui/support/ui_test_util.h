#pragma once
// Helpers for the offscreen tests of the main window and the dialogs.

#include <QApplication>
#include <QString>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

class CSpreadSheet;
class QObject;
class QWidget;

namespace kelvt::test {

// Points XDG_CONFIG_HOME at a fresh empty folder for the guard's lifetime,
// so the settings file of a test is its own.
class TempConfigHome {
 public:
  TempConfigHome();
  ~TempConfigHome();
  TempConfigHome(const TempConfigHome&) = delete;
  TempConfigHome& operator=(const TempConfigHome&) = delete;

  const std::string& Folder() const { return folder_; }
  std::string SettingsPath() const { return folder_ + "/kelvt.INI"; }
  bool SettingsExist() const;
  std::string ReadSettings() const;
  void WriteSettings(const std::string& text) const;

 private:
  std::string folder_;
  std::string old_value_;
  bool had_old_ = false;
};

// Saves what `widget` shows as <name>.png in the screenshot folder of the
// build, for a person to look at. Returns the file's path ("" on failure).
QString SaveScreenshot(QWidget* widget, const QString& name);

// The object names of the widgets Tab reaches from `start` on, in order,
// `start` first (disabled ones included: Tab skips them only while they are).
std::vector<std::string> TabChain(QWidget* start);

// The first two columns of each row of `grid` that shows anything, as "a|b".
std::vector<std::string> GridRows(const CSpreadSheet* grid);

// Calls `action` with the modal dialog (or message box) once one is up,
// polling while an event loop runs, for at most `timeout_ms` of polling. The
// watch ends with the returned guard, so it never outlives the test's locals.
class ModalWatch {
 public:
  explicit ModalWatch(QObject* timer) : timer_(timer) {}
  ModalWatch(ModalWatch&& other) noexcept : timer_(other.timer_) { other.timer_ = nullptr; }
  ModalWatch(const ModalWatch&) = delete;
  ModalWatch& operator=(const ModalWatch&) = delete;
  ~ModalWatch();
  // True once the action has run.
  bool Done() const;

 private:
  QObject* timer_;
};

[[nodiscard]] ModalWatch WhenModal(std::function<void(QWidget*)> action, int timeout_ms = 10000);

// Runs `step` on the first modal dialog of type T that comes up, once;
// `opened` tells whether it came up.
template <typename T>
class OnModal {
 public:
  explicit OnModal(std::function<void(T*)> step) : step_(std::move(step)) {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
        timer_.stop();
        ++opened;
        step_(dialog);
      }
    });
    timer_.start(2);
  }
  int opened = 0;

 private:
  QTimer timer_;
  std::function<void(T*)> step_;
};

}  // namespace kelvt::test
