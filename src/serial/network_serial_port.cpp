#include "serial/network_serial_port.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/tick.h"

namespace kelvt {
namespace {

using namespace telnet;

int64_t NetNowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

int64_t NetDeadline(int ms) { return NetNowNs() + static_cast<int64_t>(ms) * 1000000; }

// Whole milliseconds, rounded up so that a short remainder never spins.
int NetPollMs(int64_t deadline_ns) {
  const int64_t left = deadline_ns - NetNowNs();
  if (left <= 0) return 0;
  return static_cast<int>((left + 999999) / 1000000);
}

// A server that is not there, for the user, is a port not found.
int NetworkErrorCode(int err) {
  switch (err) {
    case ECONNREFUSED:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case ETIMEDOUT:
    case EADDRNOTAVAIL:
      return kPortNotFound;
    case ENOMEM:
      return kMemoryAllocationError;
    default:
      return kGeneralError;
  }
}

uint8_t ParityCode(int parity) {
  switch (parity) {
    case 'N': return 1;
    case 'O': return 2;
    case 'E': return 3;
    case 'M': return 4;
    case 'S': return 5;
    default: return 0;
  }
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsNetworkPath(const std::string& path) { return path.find("://") != std::string::npos; }

std::string NetworkDevicePath(NetworkKind kind, const std::string& host, int port) {
  const bool v6 = !host.empty() && host.find(':') != std::string::npos && host.front() != '[';
  const std::string path = std::string(kind == NetworkKind::kRaw ? "tcp://" : "rfc2217://") +
                           (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
  NetworkAddress check;
  return ParseNetworkAddress(path, check) ? path : std::string();
}

bool NetworkDeviceAccepts(const std::string& path, int timeout_ms) {
  NetworkAddress a;
  if (!ParseNetworkAddress(path, a)) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(a.host.c_str(), a.service.c_str(), &hints, &found) != 0) return false;
  bool accepted = false;
  const int64_t deadline = NetDeadline(timeout_ms);
  for (addrinfo* ai = found; ai != nullptr && !accepted; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            ai->ai_protocol);
    if (fd < 0) continue;
    int err = ::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 ? 0 : errno;
    if (err == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      err = ::poll(&p, 1, NetPollMs(deadline)) > 0 ? 0 : ETIMEDOUT;
      socklen_t len = sizeof err;
      if (err == 0 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    }
    accepted = err == 0;
    ::close(fd);
  }
  freeaddrinfo(found);
  return accepted;
}

bool ParseNetworkAddress(const std::string& path, NetworkAddress& address) {
  const size_t scheme_end = path.find("://");
  if (scheme_end == std::string::npos) return false;
  const std::string scheme = path.substr(0, scheme_end);
  NetworkAddress a;
  if (scheme == "rfc2217") {
    a.kind = NetworkKind::kRfc2217;
  } else if (scheme == "tcp") {
    a.kind = NetworkKind::kRaw;
  } else {
    return false;
  }
  const std::string rest = path.substr(scheme_end + 3);
  size_t colon = std::string::npos;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return false;
    a.host = rest.substr(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.rfind(':');
    if (colon == std::string::npos) return false;
    a.host = rest.substr(0, colon);
    if (a.host.find(':') != std::string::npos) return false;  // IPv6 needs its brackets
  }
  a.service = rest.substr(colon + 1);
  if (a.host.empty() || a.host.find_first_of("/ \t") != std::string::npos) return false;
  if (!AllDigits(a.service) || a.service.size() > 5) return false;
  const long number = std::stol(a.service);
  if (number < 1 || number > 65535) return false;
  address = a;
  return true;
}

NetworkSerialPort::NetworkSerialPort(const std::string& path, int port, long baud, int parity,
                                     int wordLength, int stopBits, int dtr, int rts,
                                     int xonXoff, const Bounds& bounds)
    : device_path_(path),
      bounds_(bounds),
      options_{TelnetOption(kBinary, true, TelnetOption::State::kRequested),
               TelnetOption(kBinary, false, TelnetOption::State::kRequested),
               TelnetOption(kComPort, true, TelnetOption::State::kRequested),
               TelnetOption(kSuppressGoAhead, true, TelnetOption::State::kInactive),
               TelnetOption(kSuppressGoAhead, false, TelnetOption::State::kInactive)},
      settings_{ComPortSetting(kSetBaudRate), ComPortSetting(kSetDataSize),
                ComPortSetting(kSetParity), ComPortSetting(kSetStopSize),
                ComPortSetting(kPurgeData), ComPortSetting(kSetLineStateMask)} {
  port_number = port;
  Open(baud, parity, wordLength, stopBits, dtr, rts, xonXoff);
}

NetworkSerialPort::~NetworkSerialPort() {
  if (fd_ >= 0) {
    (void)Flush();  // a last break-off or purge still goes out where it can
    ::close(fd_);
  }
}

int NetworkSerialPort::Fail(int code, int err, const std::string& reason) {
  system_errno_ = err;
  system_reason_ = reason;
  return code;
}

void NetworkSerialPort::Vanish(int err) {
  if (gone_) return;
  gone_ = true;
  Fail(kGeneralError, err,
       err == 0 ? "the server closed the connection" : std::string(std::strerror(err)));
}

void NetworkSerialPort::Open(long baud, int parity, int wordLength, int stopBits, int dtr,
                             int rts, int xonXoff) {
  error_status = kSuccess;
  if (!ParseNetworkAddress(device_path_, address_)) {
    error_status = Fail(kPortNotFound, EINVAL,
                        "not a network device: write rfc2217://HOST:PORT or tcp://HOST:PORT");
    return;
  }
  // A server has no settings of its own to report: start from the line
  // every operation asks for.
  settings.Update(9600, 'N', 8, 0, -1, -1, 0, -1, -1);
  saved_settings = settings;
  if (!Connect()) return;
  settings.Update(baud, parity, wordLength, stopBits, dtr, rts, xonXoff, -1, -1);
  if (address_.kind == NetworkKind::kRaw) return;
  if (!Negotiate()) return;
  // Line errors as they happen, then the line itself.
  const uint8_t mask = kLineErrorMask;
  if (!QueueSetting(kLineMask, &mask, 1)) {
    error_status = kGeneralError;
    return;
  }
  error_status = ApplySettings();
  if (error_status == kSuccess) {
    const bool ok = QueueControl(settings.xon_xoff != 0 ? kControlXonXoff : kControlNoFlow) &&
                    (settings.dtr < 0 || QueueControl(settings.dtr != 0 ? kControlDtrOn : kControlDtrOff)) &&
                    (settings.rts < 0 || QueueControl(settings.rts != 0 ? kControlRtsOn : kControlRtsOff)) &&
                    Flush();
    if (!ok) error_status = kGeneralError;
  }
}

bool NetworkSerialPort::Connect() {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int gai = getaddrinfo(address_.host.c_str(), address_.service.c_str(), &hints, &found);
  if (gai != 0) {
    const int err = gai == EAI_SYSTEM ? errno : 0;
    error_status = Fail(kPortNotFound, err, std::string("unknown host: ") + gai_strerror(gai));
    return false;
  }
  const int64_t deadline = NetDeadline(bounds_.connect_ms);
  int last_err = ETIMEDOUT;
  for (addrinfo* ai = found; ai != nullptr && fd_ < 0; ai = ai->ai_next) {
    const int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                            ai->ai_protocol);
    if (fd < 0) {
      last_err = errno;
      continue;
    }
    const int64_t start = NetNowNs();
    int err = ::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0 ? 0 : errno;
    if (err == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int r = 0;
      do {
        r = ::poll(&p, 1, NetPollMs(deadline));
      } while (r < 0 && errno == EINTR);
      err = ETIMEDOUT;
      if (r > 0) {
        socklen_t len = sizeof err;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
      }
    }
    if (err != 0) {
      last_err = err;
      ::close(fd);
      if (NetNowNs() >= deadline) break;
      continue;
    }
    round_trip_ms_ = static_cast<double>(NetNowNs() - start) / 1e6;
    fd_ = fd;
  }
  freeaddrinfo(found);
  if (fd_ < 0) {
    error_status = Fail(NetworkErrorCode(last_err), last_err,
                        last_err == ETIMEDOUT ? "no connection within " +
                                                    std::to_string(bounds_.connect_ms) + " ms"
                                              : std::string(std::strerror(last_err)));
    return false;
  }
  // Requests are a few bytes each and must leave at once; a dead peer or a
  // cut cable must end in seconds, not in the kernel's two hours.
  const int on = 1;
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  (void)setsockopt(fd_, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  const int idle = 5, interval = 2, count = 3, user_timeout_ms = 10000;
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
  (void)setsockopt(fd_, IPPROTO_TCP, TCP_USER_TIMEOUT, &user_timeout_ms, sizeof user_timeout_ms);
  return true;
}

bool NetworkSerialPort::Negotiate() {
  for (TelnetOption& o : options_) {
    if (o.GetState() != TelnetOption::State::kRequested) continue;
    uint8_t request[3];
    o.Request(request);
    (void)Queue(request, sizeof request);
  }
  const TelnetOption& com_port = options_[2];
  const bool ok = PumpUntil(NetDeadline(bounds_.negotiation_ms), [this]() {
    return std::all_of(std::begin(options_), std::end(options_),
                       [](const TelnetOption& o) { return o.Settled(); });
  });
  if (com_port.Active()) {
    // Whatever came as data before the line was set up is not the controller's.
    rx_begin_ = rx_end_ = 0;
    return true;
  }
  const std::string greeting(greeting_, greeting_len_);
  if (!ok || gone_) {
    // ser2net turns a second client away with a line of text and closes.
    if (greeting.find("in use") != std::string::npos) {
      error_status = Fail(kPortInUse, EBUSY, "the server says: " + greeting.substr(0, greeting.find_first_of("\r\n")));
    } else {
      error_status = Fail(kGeneralError, system_errno_,
                          "the server closed the connection during the Telnet negotiation");
    }
  } else if (com_port.Settled()) {
    error_status = Fail(kGeneralError, 0,
                        "the server refuses the RFC 2217 COM-PORT-OPTION; for a raw TCP port "
                        "write tcp://" + device_path_.substr(device_path_.find("://") + 3));
  } else {
    error_status = Fail(kGeneralError, ETIMEDOUT,
                        "the server did not finish the Telnet negotiation within " +
                            std::to_string(bounds_.negotiation_ms) + " ms");
  }
  return false;
}

bool NetworkSerialPort::Queue(const uint8_t* bytes, size_t size) {
  if (size > kTxCapacity - tx_len_) return false;
  std::memcpy(tx_ + tx_len_, bytes, size);
  tx_len_ += size;
  return true;
}

bool NetworkSerialPort::QueueSetting(SettingIndex index, const uint8_t* value, size_t size) {
  uint8_t request[32];
  const size_t len = ComPortRequest(settings_[index].Command(), value, size, request, sizeof request);
  if (len == 0 || !Queue(request, len)) return false;
  settings_[index].Sent(value, size);
  return true;
}

bool NetworkSerialPort::QueueControl(uint8_t value) {
  // SET-CONTROL is not waited for: ser2net on a terminal never answers DTR
  // and RTS, and nothing the controller does depends on those lines.
  uint8_t request[16];
  const size_t len = ComPortRequest(kSetControl, &value, 1, request, sizeof request);
  return len != 0 && Queue(request, len);
}

bool NetworkSerialPort::Flush() {
  while (tx_len_ > 0 && !gone_) {
    const ssize_t n = ::send(fd_, tx_, tx_len_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      std::memmove(tx_, tx_ + n, tx_len_ - static_cast<size_t>(n));
      tx_len_ -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    Vanish(n < 0 ? errno : 0);
  }
  return !gone_;
}

void NetworkSerialPort::TakeData(const uint8_t* data, size_t size) {
  if (!options_[2].Active() && address_.kind == NetworkKind::kRfc2217) {
    const size_t room = sizeof greeting_ - greeting_len_;
    const size_t keep = std::min(room, size);
    std::memcpy(greeting_ + greeting_len_, data, keep);
    greeting_len_ += keep;
  }
  while (size > 0) {
    if (rx_end_ == kRxCapacity && rx_begin_ > 0) {
      std::memmove(rx_, rx_ + rx_begin_, rx_end_ - rx_begin_);
      rx_end_ -= rx_begin_;
      rx_begin_ = 0;
    }
    if (rx_end_ == kRxCapacity) {
      // Nobody reads this fast: drop the oldest half, as a UART's queue
      // overflows, and say so through the overflow flag.
      const size_t drop = kRxCapacity / 2;
      std::memmove(rx_, rx_ + drop, kRxCapacity - drop);
      rx_end_ -= drop;
      line_counts_[kRxOverflowBit]++;
      line_errors_.Merge(line_counts_);
    }
    const size_t take = std::min(size, kRxCapacity - rx_end_);
    std::memcpy(rx_ + rx_end_, data, take);
    rx_end_ += take;
    data += take;
    size -= take;
  }
}

bool NetworkSerialPort::Receive() {
  uint8_t raw[2048];
  uint8_t data[2048];
  // Bounded per call, so that a flooding server cannot keep us here.
  for (int round = 0; round < 16 && !gone_; ++round) {
    const ssize_t n = ::recv(fd_, raw, sizeof raw, MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK) break;
      Vanish(errno);
      break;
    }
    if (n == 0) {
      Vanish(0);
      break;
    }
    if (address_.kind == NetworkKind::kRaw) {
      TakeData(raw, static_cast<size_t>(n));
      continue;
    }
    size_t at = 0;
    while (at < static_cast<size_t>(n)) {
      size_t got = 0;
      at += FilterIac(filter_, raw + at, static_cast<size_t>(n) - at, data, sizeof data, &got, *this);
      TakeData(data, got);
    }
  }
  // Replies to the server's requests go out at once.
  return Flush();
}

template <typename Done>
bool NetworkSerialPort::PumpUntil(int64_t deadline_ns, Done done) {
  for (;;) {
    if (!Receive()) return false;
    if (done()) return true;
    const int ms = NetPollMs(deadline_ns);
    if (ms <= 0) return true;
    pollfd p{fd_, static_cast<short>(POLLIN | (tx_len_ > 0 ? POLLOUT : 0)), 0};
    const int r = ::poll(&p, 1, ms);
    if (r < 0 && errno != EINTR) {
      Vanish(errno);
      return false;
    }
    if (r > 0 && (p.revents & POLLNVAL) != 0) {
      Vanish(EBADF);
      return false;
    }
    // POLLHUP and POLLERR show up in the receive that follows.
  }
}

void NetworkSerialPort::OnOption(uint8_t command, uint8_t option) {
  uint8_t reply[3];
  for (TelnetOption& o : options_) {
    if (o.Option() == option && o.Handles(command)) {
      const int len = o.Process(command, reply);
      if (len > 0) (void)Queue(reply, static_cast<size_t>(len));
      return;
    }
  }
  // Anything else (echo, terminal type, ...) is declined; a refusal is
  // never answered, so nothing loops.
  if (command != kDo && command != kWill) return;
  reply[0] = kIac;
  reply[1] = command == kDo ? kWont : kDont;
  reply[2] = option;
  (void)Queue(reply, sizeof reply);
}

void NetworkSerialPort::OnSubnegotiation(const uint8_t* data, size_t size) {
  if (size < 2 || data[0] != kComPort || data[1] <= kServerOffset) return;
  const uint8_t command = static_cast<uint8_t>(data[1] - kServerOffset);
  if (command == kNotifyLineState) {
    if (size < 3) return;
    const uint8_t bits = data[2];
    if ((bits & kLineOverrun) != 0) line_counts_[kOverrunBit]++;
    if ((bits & kLineParity) != 0) line_counts_[kParityBit]++;
    if ((bits & kLineFraming) != 0) line_counts_[kFramingBit]++;
    if ((bits & kLineBreak) != 0) line_counts_[kBreakBit]++;
    line_errors_.Merge(line_counts_);
    return;
  }
  for (ComPortSetting& s : settings_) {
    if (s.Command() == command) s.Answer(data + 2, size - 2);
  }
}

bool NetworkSerialPort::AwaitSettings() {
  auto waiting = [this]() {
    return std::any_of(std::begin(settings_), std::end(settings_),
                       [](const ComPortSetting& s) { return s.Pending() && !s.Unanswered(); });
  };
  // A setting the server left unanswered before is not waited for again.
  const int64_t asked = NetNowNs();
  const bool ok = PumpUntil(NetDeadline(bounds_.ack_ms), [&]() { return !waiting(); });
  if (!settings_timed_ && ok && !waiting()) {
    // The server's answer to the line's first settings is the round trip
    // the controller's replies take; a connection may be accepted at once
    // by a nearer gateway.
    settings_timed_ = true;
    round_trip_ms_ = std::max(round_trip_ms_, static_cast<double>(NetNowNs() - asked) / 1e6);
  }
  for (ComPortSetting& s : settings_) s.Expire();
  return ok && !gone_;
}

int NetworkSerialPort::ApplySettings() {
  const uint8_t parity = ParityCode(settings.parity);
  if (settings.baud <= 0) return kIllegalBaudRate;
  if (parity == 0) return kIllegalParity;
  if (settings.word_length < 5 || settings.word_length > 8) return kIllegalWordLength;
  if (settings.stop_bits < 0 || settings.stop_bits > 2) return kIllegalStopBits;
  const uint32_t baud = static_cast<uint32_t>(settings.baud);
  const uint8_t rate[4] = {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                           static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)};
  const uint8_t data_size = static_cast<uint8_t>(settings.word_length);
  const uint8_t stop_size = settings.stop_bits == 0 ? 1 : 2;
  // Only what changed goes out: the baud search changes the rate alone.
  bool ok = true;
  if (!sent_any_ || sent_.baud != settings.baud) ok = ok && QueueSetting(kBaud, rate, 4);
  if (!sent_any_ || sent_.word_length != settings.word_length) {
    ok = ok && QueueSetting(kDataSize, &data_size, 1);
  }
  if (!sent_any_ || sent_.parity != settings.parity) ok = ok && QueueSetting(kParity, &parity, 1);
  if (!sent_any_ || (sent_.stop_bits == 0) != (settings.stop_bits == 0)) {
    ok = ok && QueueSetting(kStopSize, &stop_size, 1);
  }
  if (!ok) return kGeneralError;
  sent_ = settings;
  sent_any_ = true;
  // The next byte must leave at the new rate: wait until the server says
  // the line is set (or, for a server that never says, for the bound).
  return AwaitSettings() ? kSuccess : kGeneralError;
}

int NetworkSerialPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
  if (error_status < 0) return error_status;
  if (gone_) return kGeneralError;
  settings.Update(baud, parity, wordLength, stopBits, -1, -1, -1, -1, -1);
  // A raw port runs at the server's own settings whatever we ask.
  if (address_.kind == NetworkKind::kRaw) return kSuccess;
  return ApplySettings();
}

int NetworkSerialPort::Transfer(bool reading, char* buffer, int count, int ms) {
  byte_count = 0;
  if (error_status < 0) return error_status;
  if (count <= 0) return kSuccess;
  if (buffer == nullptr) return reading ? kTimeout : kGeneralError;
  const int64_t deadline = NetDeadline(ms);
  size_t moved = 0;
  const size_t want = static_cast<size_t>(count);
  for (;;) {
    if (reading) {
      const size_t take = std::min(want - moved, RxAvailable());
      std::memcpy(buffer + moved, rx_ + rx_begin_, take);
      rx_begin_ += take;
      if (rx_begin_ == rx_end_) rx_begin_ = rx_end_ = 0;
      moved += take;
    } else if (moved < want) {
      const uint8_t* src = reinterpret_cast<const uint8_t*>(buffer) + moved;
      size_t written = 0;
      if (address_.kind == NetworkKind::kRaw) {
        written = std::min(want - moved, kTxCapacity - tx_len_);
        std::memcpy(tx_ + tx_len_, src, written);
        moved += written;
      } else {
        moved += EscapeIac(src, want - moved, tx_ + tx_len_, kTxCapacity - tx_len_, &written);
      }
      tx_len_ += written;
    }
    byte_count = static_cast<uint32_t>(moved);
    // A write is done when its bytes are on the wire: the reply window
    // that follows starts from there.
    const bool done = moved == want && (reading || tx_len_ == 0);
    if (done) return kSuccess;
    if (reading && RxAvailable() > 0) continue;
    if (gone_) return kGeneralError;
    if (NetNowNs() >= deadline) return kTimeout;
    const bool ok = PumpUntil(deadline, [&]() {
      // Room for at least one doubled IAC, or everything on the wire.
      return reading ? RxAvailable() > 0
                     : (moved < want ? kTxCapacity - tx_len_ >= 2 : tx_len_ == 0);
    });
    if (!ok && RxAvailable() == 0) return kGeneralError;
  }
}

int NetworkSerialPort::ReadBuffer(char* buffer, int count) {
  return Transfer(true, buffer, count, kReadTimeoutMs);
}

int NetworkSerialPort::WriteBuffer(const char* buffer, int count) {
  // Transfer only reads from the buffer when writing.
  return Transfer(false, const_cast<char*>(buffer), count, kWriteTimeoutMs);
}

int NetworkSerialPort::ReadByte() {
  char c = 0;
  const int r = Transfer(true, &c, 1, kReadTimeoutMs);
  return r == kSuccess ? static_cast<unsigned char>(c) : r;
}

int NetworkSerialPort::WriteByte(int byte) {
  char c = static_cast<char>(byte);
  return Transfer(false, &c, 1, kWriteTimeoutMs);
}

int NetworkSerialPort::LineError(int bit, int clear) {
  if (error_status < 0) return error_status;
  // Notifications already on their way count for the reply just read.
  if (!gone_) (void)Receive();
  return line_errors_.Query(bit, clear);
}

int NetworkSerialPort::RxOverflow(int clear) { return LineError(kRxOverflowBit, clear); }
int NetworkSerialPort::OverrunError(int clear) { return LineError(kOverrunBit, clear); }
int NetworkSerialPort::ParityError(int clear) { return LineError(kParityBit, clear); }
int NetworkSerialPort::FramingError(int clear) { return LineError(kFramingBit, clear); }
int NetworkSerialPort::BreakDetected(int clear) { return LineError(kBreakBit, clear); }

int NetworkSerialPort::SendBreak(long milliseconds) {
  if (error_status < 0) return error_status;
  if (address_.kind == NetworkKind::kRaw) return kFunctionNotSupported;
  if (gone_) return kGeneralError;
  if (!QueueControl(kControlBreakOn) || !Flush()) return kGeneralError;
  if (milliseconds > 0) {
    const uint32_t ms = static_cast<uint32_t>(std::min<long>(milliseconds, INT32_MAX));
    const uint32_t start = TickCount();
    for (;;) {
      const uint32_t passed = TickCount() - start;
      if (passed >= ms) break;
      IdleFunction();
      SleepMs(std::min<uint32_t>(ms - passed, 10));
    }
  }
  return QueueControl(kControlBreakOff) && Flush() ? kSuccess : kGeneralError;
}

int NetworkSerialPort::XonXoffHandshaking(int setting) {
  if (error_status < 0) return error_status;
  if (setting != -1) {
    settings.xon_xoff = setting != 0 ? 1 : 0;
    if (address_.kind == NetworkKind::kRfc2217 &&
        !(QueueControl(settings.xon_xoff != 0 ? kControlXonXoff : kControlNoFlow) && Flush())) {
      return kGeneralError;
    }
  }
  return settings.xon_xoff;
}

int NetworkSerialPort::ClearRxBuffer() {
  if (error_status < 0) return error_status;
  if (gone_) return kGeneralError;
  if (address_.kind == NetworkKind::kRfc2217) {
    // Whatever arrives before the server's acknowledgement was queued
    // before the purge: it goes too.
    const uint8_t what = kPurgeReceive;
    if (!QueueSetting(kPurge, &what, 1) || !AwaitSettings()) return kGeneralError;
  } else if (!Receive()) {
    return kGeneralError;
  }
  rx_begin_ = rx_end_ = 0;
  return kSuccess;
}

int NetworkSerialPort::ClearTxBuffer() {
  if (error_status < 0) return error_status;
  // Our queue is on the wire as soon as it can be; what is queued holds
  // Telnet commands that must not be cut.
  return gone_ ? kGeneralError : kSuccess;
}

int NetworkSerialPort::UnansweredSettings() const {
  return static_cast<int>(std::count_if(std::begin(settings_), std::end(settings_),
                                        [](const ComPortSetting& s) { return s.Unanswered(); }));
}

}  // namespace kelvt
