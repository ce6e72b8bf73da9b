#include "cli/scan_loop.h"

#include <string>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "cli/exit_codes.h"
#include "cli/interrupt.h"
#include "link/controller_link.h"

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
    case LoopEnd::kScanRejected: return kExitRefused;
  }
  return kExitNoAnswer;
}

LoopEnd ReportScanFailure(CliContext& ctx, const ControllerLink& link, const char* message) {
  if (link.ScanReplyComplete()) {
    ctx.Error(message,
              "The controller answered the scan request with a bad reply (corrupted on the "
              "line?).\nCheck the cable and its screening, and the controller's rate.");
    return LoopEnd::kScanRejected;
  }
  if (ctx.DeviceUnplugged()) {
    ctx.Error(message, ctx.UnpluggedAdvice());
    return LoopEnd::kScanFailed;
  }
  const int index = link.BaudIndex() >= 0 && link.BaudIndex() < 3 ? link.BaudIndex() : 0;
  ctx.Error(message, "No reply to the scan request on " + ctx.Target().Describe() + " at " +
                         std::to_string(BaudRateTable[index]) +
                         " baud: the controller stopped answering.\n"
                         "Check the cable and the controller's power.");
  return LoopEnd::kScanFailed;
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
