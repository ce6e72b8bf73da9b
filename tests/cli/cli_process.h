#pragma once
// Runs kelvt-cli as a child process for the end-to-end tests: its standard
// output and error are collected, it can be sent a signal, and it never
// outlives the test (the destructor kills and reaps it).

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvt::cli::test_support {

class CliProcess {
 public:
  // Starts `executable` with `args`; XDG_CONFIG_HOME and XDG_STATE_HOME
  // point at `config_home` so the user's own settings file and journal are
  // never read or touched.
  CliProcess(const std::string& executable, const std::vector<std::string>& args,
             const std::string& config_home);
  ~CliProcess();
  CliProcess(const CliProcess&) = delete;
  CliProcess& operator=(const CliProcess&) = delete;

  // Collects output until standard output holds `text` or `timeout_ms`
  // passed; true when it appeared.
  bool WaitForOutput(const std::string& text, int timeout_ms);
  void Signal(int signal_number);
  // Collects output until the child ends (killing it after `timeout_ms`);
  // its exit status, or -1 when it did not end by itself.
  int Finish(int timeout_ms);

  const std::string& out() const { return out_; }
  const std::string& err() const { return err_; }

 private:
  // Reads what is there within `wait_ms`; false when both pipes are closed.
  bool Pump(int wait_ms);

  pid_t pid_ = -1;
  int out_fd_ = -1;
  int err_fd_ = -1;
  int status_ = -1;
  std::string out_;
  std::string err_;
};

}  // namespace kelvt::cli::test_support
