#pragma once
// Runs Debian's ser2net as a child process for a test: a real RFC 2217
// (and raw TCP) server on 127.0.0.1 in front of terminal devices, each on a
// free port. The destructor stops and reaps it. available() is false, with
// the reason, when ser2net is not installed: the test then SKIPs loudly.

#include <sys/types.h>

#include <string>
#include <vector>

namespace kelvt::test {

class Ser2netProcess {
 public:
  struct Line {
    std::string device;         // the terminal it serves
    bool rfc2217 = true;        // else raw TCP
    std::string line = "9600e82";  // the line settings it starts with (fixed for raw)
  };

  explicit Ser2netProcess(std::vector<Line> lines);
  ~Ser2netProcess();
  Ser2netProcess(const Ser2netProcess&) = delete;
  Ser2netProcess& operator=(const Ser2netProcess&) = delete;

  static bool Installed(std::string* reason);
  bool ok() const { return pid_ > 0 && error_.empty(); }
  const std::string& error() const { return error_; }
  // "rfc2217://127.0.0.1:PORT" or "tcp://127.0.0.1:PORT" of line `i`.
  std::string Url(size_t i) const;
  int Port(size_t i) const { return ports_.at(i); }

  // SIGKILL, as a crashed or powered-off server.
  void Kill();
  // Starts it again on the same ports.
  bool Restart();

 private:
  bool Start();

  std::vector<Line> lines_;
  std::vector<int> ports_;
  pid_t pid_ = -1;
  std::string error_;
};

}  // namespace kelvt::test
