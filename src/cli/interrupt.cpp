#include "cli/interrupt.h"

#include <csignal>

namespace kelvt::cli {
namespace {

volatile std::sig_atomic_t g_signal = 0;

extern "C" void NoteSignal(int signal_number) { g_signal = signal_number; }

}  // namespace

void InstallInterruptHandlers() {
  struct sigaction action {};
  action.sa_handler = NoteSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a wait in poll() wakes up; the port retries on EINTR
  // until its own deadline, so nothing is cut short.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

int InterruptSignal() { return g_signal; }

void RequestInterrupt(int signal_number) { g_signal = signal_number; }

void ClearInterrupt() { g_signal = 0; }

}  // namespace kelvt::cli
