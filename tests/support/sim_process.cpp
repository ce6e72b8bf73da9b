#include "support/sim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace kelvt::test {
namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SimProcess::SimProcess(const std::string& executable, const std::vector<std::string>& args,
                       int timeout_ms) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) {
    error_ = std::string("pipe: ") + std::strerror(errno);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);

  std::vector<std::string> argv_text;
  argv_text.push_back(executable);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  const int rc = posix_spawn(&pid_, executable.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    error_ = "cannot start " + executable + ": " + std::strerror(rc);
    ::close(out[0]);
    return;
  }

  // The first line of its output is the terminal's path.
  std::string line;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  bool done = false;
  while (!done) {
    const int left = MsLeft(deadline);
    if (left == 0) {
      error_ = "no terminal path from the simulator within " + std::to_string(timeout_ms) + " ms";
      break;
    }
    pollfd p{out[0], POLLIN, 0};
    const int r = ::poll(&p, 1, left);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) continue;
    char c;
    const ssize_t n = ::read(out[0], &c, 1);
    if (n == 1) {
      if (c == '\n') {
        done = true;
      } else {
        line += c;
      }
    } else if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
      error_ = "the simulator ended before printing its terminal path";
      break;
    }
  }
  ::close(out[0]);
  if (done && !line.empty()) {
    path_ = line;
  } else {
    if (error_.empty()) error_ = "empty terminal path";
    Stop();
  }
}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Reap(int options, int* status) {
  if (pid_ <= 0) return true;
  int raw = 0;
  pid_t r;
  do {
    r = ::waitpid(pid_, &raw, options);
  } while (r < 0 && errno == EINTR);
  if (r == 0) return false;  // still running
  exit_status_ = (r == pid_ && WIFEXITED(raw)) ? WEXITSTATUS(raw) : -1;
  pid_ = -1;
  if (status != nullptr) *status = exit_status_;
  return true;
}

bool SimProcess::Running() {
  if (pid_ <= 0) return false;
  return !Reap(WNOHANG, nullptr);
}

bool SimProcess::WaitExit(int timeout_ms, int* status) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (pid_ <= 0) {
      if (status != nullptr) *status = exit_status_;
      return true;
    }
    if (Reap(WNOHANG, status)) return true;
    if (MsLeft(deadline) == 0) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

int SimProcess::Stop() {
  if (pid_ <= 0) return exit_status_;
  ::kill(pid_, SIGTERM);
  int status = -1;
  if (WaitExit(2000, &status)) return status;
  ::kill(pid_, SIGKILL);
  Reap(0, nullptr);
  exit_status_ = -1;
  return -1;
}

}  // namespace kelvt::test
