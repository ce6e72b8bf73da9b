// Long-run check of the desktop tool's alignment command: runs the real
// AlignmentOperation and its dialog (offscreen) against a controller on a
// serial device, over and over. Each cycle opens the port, prepares the
// controller, opens the dialog, scans with Run for a while, stops, exits and
// puts the controller's own set back, so a leak of memory, a descriptor or a
// widget in any of those steps grows with the cycles. bench/soak_alignment.sh
// starts kelvt-sim with a moving beam pattern, runs this, and samples the
// process from outside.
//
// Usage: kelvt-soak-alignment DEVICE [seconds=600] [cycle-seconds=60]
// Prints one line per cycle; exits 0 when every cycle scanned and restored,
// 1 otherwise (a message the tool showed is printed as it appears).

#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "gui/active_dialog.h"
#include "gui/operation.h"
#include "gui/prompter.h"
#include "tools/alignment_dlg.h"
#include "tools/alignment_operation.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPort = 7;  // any port: the device is mapped onto it

// Prints every message instead of showing it, and answers No, so that an
// unattended run never stops on a box.
class PrintingPrompter : public kelvt::Prompter {
 public:
  kelvt::PromptAnswer Message(QWidget*, const std::string& text, const std::string&,
                              kelvt::PromptButtons buttons, kelvt::PromptIcon,
                              const std::string&) override {
    ++messages;
    std::printf("message: %s\n", text.c_str());
    std::fflush(stdout);
    return buttons != kelvt::PromptButtons::Ok ? kelvt::PromptAnswer::No : kelvt::PromptAnswer::Ok;
  }
  bool OpenPsfFile(QWidget*, std::string&) override { return false; }
  bool SavePsfFile(QWidget*, std::string&) override { return false; }
  bool ChooseFolder(QWidget*, std::string&) override { return false; }
  bool ChooseItems(QWidget*, const std::string&, const std::string&,
                   const std::vector<std::string>&, const std::string&, std::vector<bool>&) override {
    return false;
  }
  void Beep() override {}
  int messages = 0;
};

struct CycleResult {
  int operation = 0;  // Run's result
  int scans = 0;
  int dialogs = 0;
};

// One alignment command: Run in the dialog for `seconds`, then Stop and Exit.
CycleResult RunCycle(double seconds) {
  CycleResult r;
  kelvt::AlignmentOperation operation(nullptr, kPort, 9600);
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<kelvt::CAlignmentDlg*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    poll.stop();
    ++r.dialogs;
    QTimer::singleShot(static_cast<int>(seconds * 1000), dialog->StopButton(), &QPushButton::click);
    dialog->RunButton()->click();  // returns when the loop has stopped
    r.scans = dialog->ScansDone();
    dialog->ExitButton()->click();
  });
  poll.start(10);
  r.operation = operation.Run();
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: kelvt-soak-alignment DEVICE [seconds=600] [cycle-seconds=60]\n");
    return 2;
  }
  const std::string device = argv[1];
  const double total = argc > 2 ? std::atof(argv[2]) : 600.0;
  const double cycle = argc > 3 ? std::atof(argv[3]) : 60.0;
  if (total <= 0 || cycle <= 0) {
    std::fprintf(stderr, "kelvt-soak-alignment: seconds must be positive\n");
    return 2;
  }

  QApplication app(argc, argv);
  kelvt::InstallQtIdleHook();
  PrintingPrompter prompter;
  kelvt::SetPrompter(&prompter);
  kelvt::Operation::SetDeviceOverrides({{kPort, device}});

  const Clock::time_point start = Clock::now();
  int cycles = 0, failed = 0;
  long scans = 0;
  while (std::chrono::duration<double>(Clock::now() - start).count() < total) {
    const double left = total - std::chrono::duration<double>(Clock::now() - start).count();
    const CycleResult r = RunCycle(left < cycle ? left : cycle);
    ++cycles;
    scans += r.scans;
    const bool ok = r.operation == 1 && r.dialogs == 1 && r.scans > 0;
    if (!ok) ++failed;
    std::printf("cycle %d: %s, %d scans, %.0f s\n", cycles, ok ? "ok" : "FAILED", r.scans,
                std::chrono::duration<double>(Clock::now() - start).count());
    std::fflush(stdout);
  }
  std::printf("%d cycles, %ld scans, %d failed, %d messages\n", cycles, scans, failed,
              prompter.messages);
  kelvt::SetPrompter(nullptr);
  return failed == 0 && prompter.messages == 0 ? 0 : 1;
}
