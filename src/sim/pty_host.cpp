#include "sim/pty_host.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace kelvt::sim {
namespace {

uint64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000u + static_cast<uint64_t>(ts.tv_nsec);
}

speed_t SpeedOf(long baud) {
  switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B9600;
  }
}

long RateOf(speed_t speed) {
  switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    default: return 0;
  }
}

// Writes everything, waiting for room up to one second in all.
bool WriteAll(int fd, const char* data, size_t n) {
  const uint64_t deadline = MonotonicNs() + 1000000000u;
  while (n > 0) {
    const ssize_t w = ::write(fd, data, n);
    if (w > 0) {
      data += w;
      n -= static_cast<size_t>(w);
      continue;
    }
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const uint64_t now = MonotonicNs();
    if (now >= deadline) return false;
    pollfd p{fd, POLLOUT, 0};
    ::poll(&p, 1, static_cast<int>((deadline - now) / 1000000u) + 1);
  }
  return true;
}

}  // namespace

PtyHost::~PtyHost() { Close(); }

uint64_t PtyHost::NowMs() const { return (MonotonicNs() - start_ns_) / 1000000u; }

bool PtyHost::Open(long baud, std::string& error) {
  start_ns_ = MonotonicNs();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    error = std::string("cannot open a pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  char name[256] = {};
  if (ptsname_r(master_, name, sizeof name) != 0) {
    error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
    return false;
  }
  path_ = name;
  keeper_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (keeper_ < 0) {
    error = std::string("cannot open ") + name + ": " + std::strerror(errno);
    return false;
  }
  // Until the tool configures the line, it is raw at the controller's rate.
  termios t{};
  tcgetattr(keeper_, &t);
  cfmakeraw(&t);
  t.c_cflag |= CSTOPB | CLOCAL | CREAD;
  cfsetispeed(&t, SpeedOf(baud));
  cfsetospeed(&t, SpeedOf(baud));
  tcsetattr(keeper_, TCSANOW, &t);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  return true;
}

bool PtyHost::Link(const std::string& link, std::string& error) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) {
      error = link + " exists and is not a symbolic link; not replacing it";
      return false;
    }
    ::unlink(link.c_str());
  }
  if (::symlink(path_.c_str(), link.c_str()) != 0) {
    error = "cannot create " + link + ": " + std::strerror(errno);
    return false;
  }
  link_ = link;
  return true;
}

void PtyHost::Close() {
  if (!link_.empty()) {
    // Only remove the link if it is still ours.
    char target[256] = {};
    const ssize_t n = ::readlink(link_.c_str(), target, sizeof target - 1);
    if (n > 0 && path_ == std::string(target, static_cast<size_t>(n))) ::unlink(link_.c_str());
    link_.clear();
  }
  if (keeper_ >= 0) ::close(keeper_);
  if (master_ >= 0) ::close(master_);
  keeper_ = master_ = -1;
}

void PtyHost::Log(const char* direction, const std::vector<char>& bytes,
                  const std::string& note) const {
  if (!verbose_) return;
  std::string hex;
  const size_t shown = bytes.size() > 32 ? 32 : bytes.size();
  for (size_t i = 0; i < shown; ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02X ", static_cast<unsigned char>(bytes[i]));
    hex += b;
  }
  if (shown < bytes.size()) hex += "... ";
  const uint64_t now = NowMs();
  std::fprintf(stderr, "[%6llu.%03llu] %s %3zu bytes  %s %s\n",
               static_cast<unsigned long long>(now / 1000),
               static_cast<unsigned long long>(now % 1000), direction, bytes.size(), hex.c_str(),
               note.c_str());
}

void PtyHost::Handle(const std::vector<SimEvent>& events, const HostOptions& options) {
  for (const SimEvent& e : events) {
    switch (e.kind) {
      case SimEvent::kReply: {
        Log("rx", e.request, e.note);
        // The reply is complete at the tool when the request has crossed the
        // line, the controller has thought, and the reply has crossed back.
        // Both cross at the rate the request came at.
        uint64_t due = NowMs() + static_cast<uint64_t>(options.reply_delay_ms) +
                       TransferMs(e.request.size() + e.reply.size(), line_baud_);
        if (!pending_.empty() && pending_.back().due_ms > due) due = pending_.back().due_ms;
        pending_.push_back({due, e.reply, e.note});
        break;
      }
      case SimEvent::kIgnored: Log("rx", e.request, "not answered: " + e.note); break;
      case SimEvent::kDropped: Log("rx", e.request, "dropped: " + e.note); break;
      case SimEvent::kVanish: Log("rx", e.request, "vanishing: closing the line"); break;
    }
  }
}

void PtyHost::SendDue(bool all) {
  const uint64_t now = NowMs();
  while (!pending_.empty() && (all || pending_.front().due_ms <= now)) {
    const Pending& p = pending_.front();
    if (!WriteAll(master_, p.bytes.data(), p.bytes.size())) {
      Log("tx", p.bytes, "could not be sent: " + std::string(std::strerror(errno)));
    } else {
      Log("tx", p.bytes, p.note);
    }
    pending_.pop_front();
  }
}

int PtyHost::Serve(SimController& controller, const HostOptions& options,
                   const volatile int& stop, const void* wait_sigmask) {
  verbose_ = options.verbose;
  std::vector<SimEvent> events;
  char buf[4096];
  while (stop == 0) {
    // Sleep until bytes arrive, a reply falls due, or the controller wants
    // to look at a quiet line again.
    int64_t wait_ms = -1;
    const uint64_t now = NowMs();
    uint64_t when = 0;
    if (controller.NextDeadline(&when)) wait_ms = when > now ? static_cast<int64_t>(when - now) : 0;
    if (!pending_.empty()) {
      const uint64_t due = pending_.front().due_ms;
      const int64_t until = due > now ? static_cast<int64_t>(due - now) : 0;
      if (wait_ms < 0 || until < wait_ms) wait_ms = until;
    }
    timespec ts{};
    ts.tv_sec = wait_ms < 0 ? 0 : wait_ms / 1000;
    ts.tv_nsec = wait_ms < 0 ? 0 : (wait_ms % 1000) * 1000000;
    pollfd p{master_, POLLIN, 0};
    const int r = ppoll(&p, 1, wait_ms < 0 ? nullptr : &ts,
                        static_cast<const sigset_t*>(wait_sigmask));
    if (r < 0 && errno != EINTR) {
      std::fprintf(stderr, "kelvt-sim: waiting on the line failed: %s\n", std::strerror(errno));
      return 1;
    }
    if (stop != 0) break;

    events.clear();
    if (r > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n > 0) {
        termios line{};
        tcgetattr(master_, &line);
        const long rate = RateOf(cfgetospeed(&line));
        const bool two_stops = (line.c_cflag & CSTOPB) != 0;
        if (controller.LineMatches(rate, two_stops)) {
          line_baud_ = rate;
          controller.Receive(buf, static_cast<size_t>(n), NowMs(), events);
        } else {
          Log("rx", std::vector<char>(buf, buf + n),
              "not heard: line at " + std::to_string(rate) + " baud with " +
                  (two_stops ? "two stop bits" : "one stop bit") + ", controller at " +
                  std::to_string(controller.Baud()) + " baud with two");
        }
      }
    }
    controller.Poll(NowMs(), events);
    Handle(events, options);
    SendDue(false);
    if (controller.Vanished()) {
      SendDue(true);  // what was answered before still goes out
      Close();
      return 0;
    }
  }
  Close();
  return 0;
}

}  // namespace kelvt::sim
