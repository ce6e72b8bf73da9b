#include "cli/scan_loop.h"

#include "cli/exit_codes.h"
#include "cli/interrupt.h"

namespace kelvt::cli {

void AddScanLoopOptions(CLI::App& sub, ScanLoopOptions& options) {
  CLI::Option* count = sub.add_option("-n,--count", options.count, "Take N scans (default 1)")
                           ->check(CLI::Range(1, 1000000));
  CLI::Option* watch = sub.add_flag(
      "-w,--watch", options.watch,
      "Scan until Ctrl-C, printing whenever the result changes");
  count->excludes(watch);
}

int LoopExitStatus(LoopEnd end) {
  switch (end) {
    case LoopEnd::kDone: return kExitOk;
    case LoopEnd::kInterrupted: return kExitInterrupted;
    case LoopEnd::kOutputLost: return kExitInterrupted;
    case LoopEnd::kScanFailed: return kExitNoAnswer;
  }
  return kExitNoAnswer;
}

bool ContinueLoop(const ScanLoopOptions& options, int done, LoopEnd& end) {
  if (Interrupted()) {
    // Watching ends with a signal by design; a count cut short did not finish.
    end = options.watch ? LoopEnd::kDone : LoopEnd::kInterrupted;
    return false;
  }
  if (!options.watch && done >= options.count) {
    end = LoopEnd::kDone;
    return false;
  }
  return true;
}

}  // namespace kelvt::cli
