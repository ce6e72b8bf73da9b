#pragma once
// Runs kelvt-sim as a child process for a test: starts it with the given
// arguments, reads the pseudo-terminal path it prints, and stops it again.
// The destructor always stops and reaps the child, so a failing test leaves
// neither a running simulator nor a zombie behind.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvt::test {

class SimProcess {
 public:
  // Starts `executable` with `args` and waits up to `timeout_ms` for the
  // terminal path. Check ok() (and error()) afterwards.
  SimProcess(const std::string& executable, const std::vector<std::string>& args,
             int timeout_ms = 5000);
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  const std::string& error() const { return error_; }
  pid_t pid() const { return pid_; }

  // True while the child has not ended.
  bool Running();
  // Waits up to `timeout_ms` for the child to end by itself; true when it
  // has, with its exit status in `status` (-1 when killed by a signal).
  bool WaitExit(int timeout_ms, int* status = nullptr);
  // SIGTERM, up to two seconds' grace, then SIGKILL. Returns the exit status
  // (-1 when it had to be killed or was not running).
  int Stop();

 private:
  bool Reap(int options, int* status);

  pid_t pid_ = -1;
  int exit_status_ = -1;
  std::string path_;
  std::string error_;
};

}  // namespace kelvt::test
