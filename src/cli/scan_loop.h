#pragma once
// The options and the stopping rule shared by the commands that scan in a
// loop (beams, measure): a fixed number of scans, or until interrupted.

namespace CLI {
class App;
}

namespace kelvt {
class ControllerLink;
}

namespace kelvt::cli {

class CliContext;

struct ScanLoopOptions {
  int count = 1;
  bool watch = false;
};

// Adds --count N and --watch (which exclude each other) to `sub`.
void AddScanLoopOptions(CLI::App& sub, ScanLoopOptions& options);

// Why a scan loop ended.
enum class LoopEnd {
  kDone,         // all scans taken (or, watching, stopped by a signal)
  kInterrupted,  // a signal came before the count was reached
  kOutputLost,   // standard output no longer takes text
  kScanFailed,    // no reply (or not all of it)
  kScanRejected,  // a complete reply that does not decode
};

// Tells why the last scan failed, under `message`: no reply to the scan, or
// a reply that was rejected. Returns how the loop ends.
LoopEnd ReportScanFailure(CliContext& ctx, const ControllerLink& link, const char* message);

// Exit status for how a loop ended (before the restore is accounted for).
int LoopExitStatus(LoopEnd end);

// True when the loop should take another scan; sets `end` otherwise.
// `done` is the number of scans taken so far.
bool ContinueLoop(const ScanLoopOptions& options, int done, LoopEnd& end);

}  // namespace kelvt::cli
