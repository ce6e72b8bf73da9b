#include "support/ser2net_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace kelvt::test {
namespace {

constexpr char kSer2net[] = "/usr/sbin/ser2net";

// A port nobody listens on now (the kernel's pick for port 0).
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  int port = -1;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0) {
    port = ntohs(a.sin_port);
  }
  ::close(fd);
  return port;
}

bool Listening(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

bool Ser2netProcess::Installed(std::string* reason) {
  if (access(kSer2net, X_OK) == 0) return true;
  if (reason != nullptr) *reason = std::string(kSer2net) + " is not installed (apt-get install ser2net)";
  return false;
}

Ser2netProcess::Ser2netProcess(std::vector<Line> lines) : lines_(std::move(lines)) {
  if (!Installed(&error_)) return;
  for (size_t i = 0; i < lines_.size(); ++i) ports_.push_back(FreePort());
  Start();
}

Ser2netProcess::~Ser2netProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

std::string Ser2netProcess::Url(size_t i) const {
  return std::string(lines_.at(i).rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" +
         std::to_string(ports_.at(i));
}

bool Ser2netProcess::Start() {
  error_.clear();
  // One -Y string: '#' stands for a line break. No UUCP locks (-u): the
  // simulator's terminal is ours alone.
  std::string yaml;
  for (size_t i = 0; i < lines_.size(); ++i) {
    yaml += "connection: &con" + std::to_string(i) + "#  accepter: " +
            (lines_[i].rfc2217 ? "telnet(rfc2217),tcp,127.0.0.1," : "tcp,127.0.0.1,") +
            std::to_string(ports_[i]) + "#  connector: serialdev," + lines_[i].device + "," +
            lines_[i].line + ",local#";
  }
  std::vector<std::string> args = {kSer2net, "-n", "-u", "-Y", yaml};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Its complaints about mDNS and the like are no business of the test's.
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const int rc = posix_spawn(&pid_, kSer2net, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    error_ = std::string("cannot start ser2net: ") + std::strerror(rc);
    return false;
  }
  for (int i = 0; i < 500; ++i) {
    bool all = true;
    for (int port : ports_) all = all && Listening(port);
    if (all) return true;
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      error_ = "ser2net ended at start (configuration: " + yaml + ")";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  error_ = "ser2net does not listen within 5 s";
  return false;
}

void Ser2netProcess::Kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

bool Ser2netProcess::Restart() {
  Kill();
  return Start();
}

}  // namespace kelvt::test
