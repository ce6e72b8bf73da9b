// Scan-rate benchmark: runs the alignment view's scan loop through the real
// port against kelvt-sim and compares its pace with what the protocol
// allows, and measures the CPU the loop costs, without and with Record (every
// scan appended to a CSV file as the dialog does). The two modes take turns,
// so that a change in the machine's load falls on both.
//
// Usage: kelvt-scan-bench [seconds] [baud] [boards]
//   seconds  how long to scan in each mode (default 5)
//   baud     the simulator's rate: 9600, 19200 or 38400 (default 38400)
//   boards   the simulator's board list (default EG,EG,RG,RG: 32 beams)

#include <sys/resource.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "alignment_setup.h"
#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "ops/csv_recorder.h"
#include "ops/scan_csv.h"
#include "platform/tick.h"
#include "serial/port_factory.h"
#include "serial/posix_serial_port.h"
#include "support/ser2net_process.h"
#include "support/sim_process.h"

namespace {

using Clock = std::chrono::steady_clock;

// The simulator's own time to answer (its --reply-delay).
constexpr int kSimReplyDelayMs = 2;
// Fixed waits of one Scan: 50 ms before the first try, 100 ms settle.
constexpr double kPreWaitMs = 50.0;
constexpr double kSettleMs = 100.0;

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int Fail(const char* what) {
  std::fprintf(stderr, "kelvt-scan-bench: %s\n", what);
  return 1;
}

// Each mode scans in turns of about this long (off, on, off, on, ...).
constexpr double kTurnSeconds = 1.0;
// The dialog's flush interval.
constexpr uint32_t kFlushIntervalMs = 1000;

struct LoopTotals {
  long scans = 0;
  long changes = 0;
  long failures = 0;
  double wall = 0;
  double cpu = 0;
};

// The view's loop for `seconds`; with `recorder`, each scan is also made into
// a row and appended, and what gathered is written once a second.
void ScanFor(kelvt::ControllerLink& link, int beams, double seconds, kelvt::CsvRecorder* recorder,
             LoopTotals& totals) {
  kelvt::BeamBitmapScan current(beams);
  kelvt::BeamBitmapScan last(beams);
  std::vector<char> row(kelvt::AlignmentCsvRowSize(beams));
  uint32_t last_flush = kelvt::TickCount();
  bool first = true;
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  const auto end = t0 + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) {
    if (link.Scan(current) == 0) {
      ++totals.failures;
      continue;
    }
    if (recorder != nullptr) {
      const int n = kelvt::AlignmentCsvRow(kelvt::NowWallTime(), recorder->Rows() + 1, current,
                                           row.data(), row.size());
      if (n > 0) recorder->Append(row.data(), static_cast<std::size_t>(n));
      const uint32_t now = kelvt::TickCount();
      if (now - last_flush >= kFlushIntervalMs) {
        recorder->Flush();
        last_flush = now;
      }
    }
    // The view's own work per scan: redraw only when the map changed.
    if (first || !last.Equals(current)) {
      last.Assign(current);
      ++totals.changes;
    }
    first = false;
    ++totals.scans;
  }
  totals.wall += std::chrono::duration<double>(Clock::now() - t0).count();
  totals.cpu += CpuSeconds() - cpu0;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  const long baud = argc > 2 ? std::atol(argv[2]) : 38400;
  const std::string boards = argc > 3 ? argv[3] : "EG,EG,RG,RG";
  if (seconds <= 0 || (baud != 9600 && baud != 19200 && baud != 38400)) {
    return Fail("usage: kelvt-scan-bench [seconds] [9600|19200|38400] [boards]");
  }

  kelvt::test::SimProcess sim(KELVT_SIM_PATH,
                              {"--baud", std::to_string(baud), "--boards", boards, "--moving", "4",
                               "--reply-delay", std::to_string(kSimReplyDelayMs)});
  if (!sim.ok()) return Fail(sim.error().c_str());

  // As an operation opens it, at 9600: the first command searches the rate.
  auto* port = new kelvt::PosixSerialPort(sim.path(), 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  if (port->ErrorStatus() != 0) {
    delete port;
    return Fail("cannot open the simulator's terminal");
  }
  auto owned_link = std::make_unique<kelvt::ControllerLink>(port);
  kelvt::ControllerLink& link = *owned_link;

  kelvt::DiagnosticRecord diag;
  if (const char* failed = kelvt::bench::PrepareForAlignment(link, diag)) return Fail(failed);

  const int beams = diag.total_channels / 2;
  const std::string record_path =
      (std::filesystem::temp_directory_path() /
       ("kelvt-scan-bench-" + std::to_string(getpid()) + ".csv"))
          .string();
  kelvt::CsvRecorder recorder;
  char header[128];
  kelvt::AlignmentCsvHeader(header, sizeof header);
  if (!recorder.Open(record_path, header)) return Fail("cannot create the recording file");

  LoopTotals off;
  LoopTotals on;
  const int turns = std::max(1, static_cast<int>(seconds / kTurnSeconds + 0.5));
  for (int turn = 0; turn < turns; ++turn) {
    ScanFor(link, beams, seconds / turns, nullptr, off);
    ScanFor(link, beams, seconds / turns, &recorder, on);
  }
  const long long rows = recorder.Rows();
  const bool recorded = recorder.Close() != 0;
  std::error_code size_error;
  const auto bytes = std::filesystem::file_size(record_path, size_error);
  std::remove(record_path.c_str());
  if (!recorded) return Fail("the recording could not be written");

  const long scans = off.scans;
  const long changes = off.changes;
  const long failures = off.failures + on.failures;
  const double wall = off.wall;
  const double cpu = off.cpu;

  const int request_bytes = 3;
  const int reply_bytes = kelvt::BeamBitmapScan(beams).ExpectedLength();
  const double transfer_ms = (request_bytes + reply_bytes) * 12.0 * 1000.0 / static_cast<double>(baud);
  const double limit_ms = kPreWaitMs + kSettleMs + transfer_ms + kSimReplyDelayMs;
  // On a real line the request and the reply cross while the settle delay
  // runs, so the strict bound counts only what sticks out of it.
  const double strict_ms = kPreWaitMs + std::max(kSettleMs, transfer_ms + kSimReplyDelayMs);
  const double rate = static_cast<double>(scans) / wall;
  const double limit_rate = 1000.0 / limit_ms;
  const double strict_rate = 1000.0 / strict_ms;

  std::printf("scan-rate benchmark: %d beams at %ld baud for %.1f s without Record\n", beams,
              baud, wall);
  std::printf("  scans               %ld (%ld failed, %ld changed the map)\n", scans, failures,
              changes);
  std::printf("  scans per second    %.3f\n", rate);
  std::printf("  protocol limit      %.3f scans/s  (%.0f ms pre-wait + %.0f ms settle + %.2f ms "
              "transfer of %d bytes + %d ms reply = %.2f ms)\n",
              limit_rate, kPreWaitMs, kSettleMs, transfer_ms, request_bytes + reply_bytes,
              kSimReplyDelayMs, limit_ms);
  std::printf("  ratio               %.3f  (target >= 0.95)\n", rate / limit_rate);
  std::printf("  strict limit        %.3f scans/s  (transfer and reply inside the settle delay: "
              "%.2f ms), ratio %.3f\n",
              strict_rate, strict_ms, rate / strict_rate);
  std::printf("  mean time per scan  %.2f ms\n", wall * 1000.0 / static_cast<double>(scans));
  std::printf("  CPU while scanning  %.2f %% of one core  (%.3f s in %.1f s; target < 5 %%)\n",
              100.0 * cpu / wall, cpu, wall);
  const double rate_on = static_cast<double>(on.scans) / on.wall;
  const double difference = 100.0 * (rate_on - rate) / rate;
  std::printf("  with Record         %.3f scans/s  (%ld scans in %.1f s, %lld rows, %llu bytes "
              "written)\n",
              rate_on, on.scans, on.wall, rows,
              static_cast<unsigned long long>(size_error ? 0 : bytes));
  std::printf("  Record on vs off    %+.2f %%  (target within 1 %%)\n", difference);
  std::printf("  CPU with Record     %.2f %% of one core  (%.3f s in %.1f s)\n",
              100.0 * on.cpu / on.wall, on.cpu, on.wall);

  // The same loop through a serial device server: ser2net on this machine
  // in front of the same simulator, over RFC 2217. The local port lets go
  // of the terminal first.
  owned_link.reset();
  std::string why;
  if (!kelvt::test::Ser2netProcess::Installed(&why)) {
    std::printf("  through ser2net     SKIP: %s\n", why.c_str());
    return failures == 0 ? 0 : 1;
  }
  kelvt::test::Ser2netProcess server({{sim.path()}});
  if (!server.ok()) return Fail(server.error().c_str());
  std::unique_ptr<kelvt::RS232> net_port = kelvt::OpenControllerPort(server.Url(0), 0, 9600);
  if (net_port->ErrorStatus() != 0) return Fail("cannot open the port through ser2net");
  const double round_trip = kelvt::PortRoundTripMs(*net_port);
  kelvt::ControllerLink net_link(net_port.release());
  if (net_link.InputDiagnostics(diag) == 0) return Fail("no diagnostics through ser2net");
  LoopTotals net;
  ScanFor(net_link, beams, seconds, nullptr, net);
  const double net_rate = static_cast<double>(net.scans) / net.wall;
  std::printf("  through ser2net     %.3f scans/s  (%ld scans in %.1f s, %ld failed), ratio %.3f "
              "(target >= 0.95), %+.2f %% vs local\n",
              net_rate, net.scans, net.wall, net.failures, net_rate / limit_rate,
              100.0 * (net_rate - rate) / rate);
  std::printf("  round trip          %.3f ms when the line was set (%s)\n", round_trip, server.Url(0).c_str());
  std::printf("  CPU through ser2net %.2f %% of one core\n", 100.0 * net.cpu / net.wall);
  return failures == 0 && net.failures == 0 ? 0 : 1;
}
