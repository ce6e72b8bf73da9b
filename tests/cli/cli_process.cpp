#include "cli_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

namespace kelvt::cli::test_support {
namespace {

using Clock = std::chrono::steady_clock;

int ElapsedMs(Clock::time_point since) {
  return static_cast<int>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

}  // namespace

CliProcess::CliProcess(const std::string& executable, const std::vector<std::string>& args,
                       const std::string& config_home) {
  int out_pipe[2];
  int err_pipe[2];
  if (pipe2(out_pipe, O_CLOEXEC) != 0) return;
  if (pipe2(err_pipe, O_CLOEXEC) != 0) {
    close(out_pipe[0]);
    close(out_pipe[1]);
    return;
  }
  std::vector<std::string> argv_text{executable};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_ = fork();
  if (pid_ == 0) {
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(err_pipe[1], STDERR_FILENO);
    setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
    // So is the journal: never the user's own.
    setenv("XDG_STATE_HOME", config_home.c_str(), 1);
    // Rescue files, if any, land in the test's folder.
    if (chdir(config_home.c_str()) != 0) _exit(126);
    execv(executable.c_str(), argv.data());
    _exit(127);
  }
  close(out_pipe[1]);
  close(err_pipe[1]);
  out_fd_ = out_pipe[0];
  err_fd_ = err_pipe[0];
}

CliProcess::~CliProcess() {
  if (pid_ > 0 && status_ == -1) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (out_fd_ >= 0) close(out_fd_);
  if (err_fd_ >= 0) close(err_fd_);
}

bool CliProcess::Pump(int wait_ms) {
  pollfd fds[2] = {{out_fd_, POLLIN, 0}, {err_fd_, POLLIN, 0}};
  if (out_fd_ < 0 && err_fd_ < 0) return false;
  if (poll(fds, 2, wait_ms) <= 0) return true;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents == 0) continue;
    char buffer[4096];
    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
    if (n > 0) {
      (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
    } else {
      close(fds[i].fd);
      (i == 0 ? out_fd_ : err_fd_) = -1;
    }
  }
  return out_fd_ >= 0 || err_fd_ >= 0;
}

bool CliProcess::WaitForOutput(const std::string& text, int timeout_ms) {
  const Clock::time_point start = Clock::now();
  while (out_.find(text) == std::string::npos) {
    const int left = timeout_ms - ElapsedMs(start);
    if (left <= 0 || !Pump(left < 50 ? left : 50)) return out_.find(text) != std::string::npos;
  }
  return true;
}

void CliProcess::Signal(int signal_number) {
  if (pid_ > 0 && status_ == -1) kill(pid_, signal_number);
}

int CliProcess::Finish(int timeout_ms) {
  if (pid_ <= 0) return -1;
  const Clock::time_point start = Clock::now();
  while (Pump(50)) {
    if (ElapsedMs(start) > timeout_ms) {
      kill(pid_, SIGKILL);
      break;
    }
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -2;
  return WIFEXITED(status) ? status_ : -1;
}

}  // namespace kelvt::cli::test_support
