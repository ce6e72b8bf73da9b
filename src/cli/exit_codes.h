#pragma once
// Exit statuses of kelvt-cli. Scripts branch on these, so the values are
// fixed: never renumber, only add.

namespace kelvt::cli {

enum ExitCode : int {
  kExitOk = 0,
  kExitDifferent = 1,      // psf diff: the two sets differ
  kExitUsage = 2,          // bad command line
  kExitPortOpen = 3,       // the serial port cannot be opened
  kExitNoAnswer = 4,       // the controller does not answer (or stopped answering)
  kExitRefused = 5,        // the controller refused: set not accepted, not operational
  kExitFileRejected = 6,   // an input .PSF file cannot be read, is not compatible or cannot run
  kExitFileWrite = 7,      // an output file cannot be written
  kExitInterrupted = 130,  // stopped by a signal before the command was done
};

struct ExitCodeInfo {
  int code;
  const char* name;
  const char* meaning;
};

// Every status with a short name and its meaning, in ascending order.
inline constexpr ExitCodeInfo kExitCodes[] = {
    {kExitOk, "ok", "success"},
    {kExitDifferent, "different", "psf diff found differences"},
    {kExitUsage, "usage", "usage error: unknown command or option, bad value"},
    {kExitPortOpen, "port", "the serial port cannot be opened"},
    {kExitNoAnswer, "no-answer", "the controller does not answer"},
    {kExitRefused, "refused",
     "the controller refused: parameter set not accepted, not operational, bad reply"},
    {kExitFileRejected, "file-rejected", "an input .PSF file is not compatible or cannot be run"},
    {kExitFileWrite, "file-write", "an output file cannot be written"},
    {kExitInterrupted, "interrupted", "interrupted (Ctrl-C, SIGTERM, SIGHUP) before the end"},
};

}  // namespace kelvt::cli
