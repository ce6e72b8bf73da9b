// Dispatch-latency benchmark: runs the Alignment dialog's scan loop (offscreen)
// through the real port against kelvt-sim while a second thread posts events
// to the window at random moments, and prints how long each waited to be
// dispatched (median, 95th percentile, maximum), the scan rate against the
// protocol's floor and the CPU the process spent.
//
// Usage: kelvt-dispatch-bench [seconds=20] [baud=38400] [idle-seconds=0]
//   idle-seconds  how long the dialog stands open before Run (for a reader of
//                 the accessibility bus to compare idle with scanning)

#include <sys/resource.h>

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "alignment_setup.h"
#include "gui/active_dialog.h"
#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "serial/posix_serial_port.h"
#include "support/sim_process.h"
#include "tools/alignment_dlg.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSimReplyDelayMs = 2;
constexpr double kPreWaitMs = 50.0;
constexpr double kSettleMs = 100.0;
// Gaps between posted events: uniform in [1, 40] ms, so they fall anywhere in a scan.
constexpr int kMaxGapMs = 40;

const QEvent::Type kProbeEvent = static_cast<QEvent::Type>(QEvent::User + 27);

class ProbeEvent : public QEvent {
 public:
  ProbeEvent() : QEvent(kProbeEvent), posted(Clock::now()) {}
  Clock::time_point posted;
};

// Takes the probes in the GUI thread and notes how long each waited.
class Receiver : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != kProbeEvent) return QObject::event(e);
    const auto waited = Clock::now() - static_cast<ProbeEvent*>(e)->posted;
    latencies_us.push_back(
        static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(waited).count()));
    return true;
  }
  std::vector<double> latencies_us;
};

// The CPU of the process (`who` RUSAGE_SELF) or of the calling thread
// (RUSAGE_THREAD: the window's, without the bench's own poster thread).
double CpuSeconds(int who = RUSAGE_SELF) {
  rusage u{};
  getrusage(who, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5));
  return v[i];
}

int Fail(const char* what) {
  std::fprintf(stderr, "kelvt-dispatch-bench: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
  const long baud = argc > 2 ? std::atol(argv[2]) : 38400;
  const double idle_seconds = argc > 3 ? std::atof(argv[3]) : 0.0;
  if (seconds <= 0 || (baud != 9600 && baud != 19200 && baud != 38400)) {
    return Fail("usage: kelvt-dispatch-bench [seconds] [9600|19200|38400]");
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kelvt::InstallQtIdleHook();

  kelvt::test::SimProcess sim(KELVT_SIM_PATH, {"--baud", std::to_string(baud), "--moving", "4",
                                               "--reply-delay", std::to_string(kSimReplyDelayMs)});
  if (!sim.ok()) return Fail(sim.error().c_str());
  auto* port = new kelvt::PosixSerialPort(sim.path(), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  if (port->ErrorStatus() != 0) {
    delete port;
    return Fail("cannot open the simulator's terminal");
  }
  kelvt::ControllerLink link(port);

  kelvt::DiagnosticRecord diag;
  if (const char* failed = kelvt::bench::PrepareForAlignment(link, diag)) return Fail(failed);
  const int beams = diag.total_channels / 2;

  kelvt::CAlignmentDlg dialog(&link, beams);
  dialog.show();
  QApplication::processEvents();
  if (idle_seconds > 0) {
    QEventLoop idle;
    QTimer::singleShot(static_cast<int>(idle_seconds * 1000), &idle, &QEventLoop::quit);
    std::printf("idle for %.1f s, then Run\n", idle_seconds);
    std::fflush(stdout);
    idle.exec();
    std::printf("running\n");
    std::fflush(stdout);
  }
  Receiver receiver;

  std::atomic<bool> stop{false};
  long posted = 0;
  std::thread poster([&] {
    std::mt19937 random(27);
    std::uniform_int_distribution<int> gap(1, kMaxGapMs);
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(gap(random)));
      QCoreApplication::postEvent(&receiver, new ProbeEvent);
      ++posted;
    }
    QMetaObject::invokeMethod(dialog.StopButton(), "click", Qt::QueuedConnection);
  });

  const double cpu0 = CpuSeconds();
  const double thread_cpu0 = CpuSeconds(RUSAGE_THREAD);
  const auto t0 = Clock::now();
  dialog.OnRun();  // returns when the loop has stopped
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  const double thread_cpu = CpuSeconds(RUSAGE_THREAD) - thread_cpu0;
  poster.join();
  QApplication::processEvents();

  const int scans = dialog.ScansDone();
  const int reply_bytes = kelvt::BeamBitmapScan(beams).ExpectedLength();
  const double transfer_ms = (3 + reply_bytes) * 12.0 * 1000.0 / static_cast<double>(baud);
  const double floor_ms = kPreWaitMs + kSettleMs + transfer_ms + kSimReplyDelayMs;
  const double rate = static_cast<double>(scans) / wall;
  const std::vector<double>& l = receiver.latencies_us;
  std::printf("dispatch-latency benchmark: Alignment loop, %d beams at %ld baud for %.1f s\n", beams,
              baud, wall);
  std::printf("  events              %zu dispatched of %ld posted\n", l.size(), posted);
  std::printf("  latency median      %.2f ms\n", Percentile(l, 0.5) / 1000.0);
  std::printf("  latency p95         %.2f ms  (aim <= 15 ms)\n", Percentile(l, 0.95) / 1000.0);
  std::printf("  latency max         %.2f ms\n", Percentile(l, 1.0) / 1000.0);
  std::printf("  scans               %d, %.3f scans/s\n", scans, rate);
  std::printf("  protocol floor      %.3f scans/s (%.2f ms a scan), ratio %.3f  (aim >= 0.97)\n",
              1000.0 / floor_ms, floor_ms, rate * floor_ms / 1000.0);
  std::printf("  CPU while scanning  %.2f %% of one core  (the window's thread: %.3f s in %.1f s; aim < 2 %%)\n",
              100.0 * thread_cpu / wall, thread_cpu, wall);
  std::printf("  with the bench       %.2f %% of one core  (the process, its poster thread included)\n",
              100.0 * cpu / wall);
  return scans > 0 ? 0 : 1;
}
