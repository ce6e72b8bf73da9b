#pragma once
// Ctrl-C and friends. The handlers only note the signal; the command loops
// look at the note between controller commands, so a command in progress
// always completes and the controller's own parameter set still goes back.

namespace kelvt::cli {

// SIGINT, SIGTERM and SIGHUP (an SSH session that drops) set the note.
// SIGPIPE is ignored: a closed output pipe shows up as a failed write, which
// the loops treat like an interruption instead of dying before the restore.
void InstallInterruptHandlers();

// Non-zero: the number of the signal that asked us to stop.
int InterruptSignal();
inline bool Interrupted() { return InterruptSignal() != 0; }

// For tests and for a loop that stops on its own: set or clear the note.
void RequestInterrupt(int signal_number);
void ClearInterrupt();

}  // namespace kelvt::cli
