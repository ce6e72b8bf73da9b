#pragma once
// The simulator's side of a pseudo-terminal: opens it, publishes the path,
// and serves a SimController on it until asked to stop or the controller
// vanishes. Bytes are heard only when the line settings the tool applied
// (read from the terminal's termios) match the controller's; replies go out
// after the controller's own delay plus the time the bytes would take on a
// real line.

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/sim_controller.h"

namespace kelvt::sim {

struct HostOptions {
  int reply_delay_ms = 2;
  bool verbose = false;
};

class PtyHost {
 public:
  PtyHost() = default;
  ~PtyHost();
  PtyHost(const PtyHost&) = delete;
  PtyHost& operator=(const PtyHost&) = delete;

  // Opens the terminal raw at `baud` with two stop bits. False with a reason.
  bool Open(long baud, std::string& error);
  const std::string& Path() const { return path_; }
  // Creates `link` pointing to the terminal (replacing an old symbolic link,
  // never anything else); it is removed again when the host closes.
  bool Link(const std::string& link, std::string& error);

  // Serves until `stop` becomes non-zero or the controller vanishes. The
  // caller blocks the stop signals and passes the mask to wait with, so a
  // signal can only arrive while the host waits. Returns the exit status.
  int Serve(SimController& controller, const HostOptions& options, const volatile int& stop,
            const void* wait_sigmask);

  void Close();

 private:
  struct Pending {
    uint64_t due_ms;
    std::vector<char> bytes;
    std::string note;
  };

  uint64_t NowMs() const;
  void Handle(const std::vector<SimEvent>& events, const HostOptions& options);
  // Sends the replies that are due (all of them when `all`).
  void SendDue(bool all);
  void Log(const char* direction, const std::vector<char>& bytes, const std::string& note) const;

  int master_ = -1;
  int keeper_ = -1;  // our own slave descriptor: the terminal outlives the tool's closes
  std::string path_;
  std::string link_;
  uint64_t start_ns_ = 0;
  std::deque<Pending> pending_;
  bool verbose_ = false;
  long line_baud_ = 9600;  // the rate the last request was heard at
};

}  // namespace kelvt::sim
