// The network port against hostile and odd servers scripted in-process on
// a loopback listener (the real server, ser2net, is met in tests/cli), and
// the Telnet pieces under it on their own.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "serial/network_serial_port.h"
#include "serial/port_factory.h"
#include "serial/telnet_protocol.h"

namespace kelvt {
namespace {

using namespace telnet;
using Clock = std::chrono::steady_clock;

// One connection served by a script on its own thread; the script ends
// when `stop` is set or the client goes.
class ScriptedServer {
 public:
  using Script = std::function<void(int fd, const std::atomic<bool>& stop)>;
  explicit ScriptedServer(Script script) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(listen_fd_, 1);
    getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this, script] {
      pollfd p{listen_fd_, POLLIN, 0};
      while (!stop_ && ::poll(&p, 1, 10) == 0) {
      }
      if (stop_) return;
      const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) return;
      script(fd, stop_);
      ::close(fd);
    });
  }
  ~ScriptedServer() {
    stop_ = true;
    thread_.join();
    ::close(listen_fd_);
  }
  std::string Url(const char* scheme = "rfc2217") const {
    return std::string(scheme) + "://127.0.0.1:" + std::to_string(port_);
  }

 private:
  int listen_fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void SendBytes(int fd, std::initializer_list<uint8_t> bytes) {
  const std::basic_string<uint8_t> b(bytes);
  (void)::send(fd, b.data(), b.size(), MSG_NOSIGNAL);
}

// Reads what comes until the client goes or `stop`; returns it.
std::basic_string<uint8_t> DrainPeer(int fd, const std::atomic<bool>& stop, int quiet_ms = -1) {
  std::basic_string<uint8_t> got;
  uint8_t buf[512];
  pollfd p{fd, POLLIN, 0};
  for (int idle = 0; !stop && (quiet_ms < 0 || idle < quiet_ms); idle += 10) {
    if (::poll(&p, 1, 10) <= 0) continue;
    const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    got.append(buf, static_cast<size_t>(n));
    idle = 0;
  }
  return got;
}

// What ser2net says at the start, trimmed to what we ask for.
void AgreeAll(int fd) {
  SendBytes(fd, {kIac, kDo, kBinary, kIac, kWill, kBinary, kIac, kDo, kComPort});
}

constexpr NetworkSerialPort::Bounds kShort{500, 300, 150};

std::unique_ptr<NetworkSerialPort> OpenScripted(const std::string& url) {
  return std::make_unique<NetworkSerialPort>(url, 0, 9600, 'E', 8, 1, 0, 0, 0, kShort);
}

long NetMsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

TEST(NetworkAddress, ParsesEachFormAndRefusesTheRest) {
  const struct {
    const char* path;
    bool ok;
    NetworkKind kind;
    const char* host;
    const char* service;
  } rows[] = {
      {"rfc2217://10.1.2.3:4001", true, NetworkKind::kRfc2217, "10.1.2.3", "4001"},
      {"tcp://plant-gw.example:2001", true, NetworkKind::kRaw, "plant-gw.example", "2001"},
      {"rfc2217://[fe80::1%eth0]:7000", true, NetworkKind::kRfc2217, "fe80::1%eth0", "7000"},
      {"rfc2217://[::1]:65535", true, NetworkKind::kRfc2217, "::1", "65535"},
      {"rfc2217://::1:7000", false, {}, "", ""},  // IPv6 without brackets
      {"rfc2217://host:0", false, {}, "", ""},
      {"rfc2217://host:65536", false, {}, "", ""},
      {"rfc2217://host:", false, {}, "", ""},
      {"rfc2217://:4001", false, {}, "", ""},
      {"rfc2217://host:40x1", false, {}, "", ""},
      {"rfc2217://[::1]4001", false, {}, "", ""},
      {"telnet://host:23", false, {}, "", ""},
      {"/dev/ttyUSB0", false, {}, "", ""},
  };
  for (const auto& row : rows) {
    NetworkAddress a;
    EXPECT_EQ(ParseNetworkAddress(row.path, a), row.ok) << row.path;
    if (!row.ok) continue;
    EXPECT_EQ(a.kind, row.kind) << row.path;
    EXPECT_EQ(a.host, row.host) << row.path;
    EXPECT_EQ(a.service, row.service) << row.path;
  }
  // And built from its pieces, as the Devices window does.
  EXPECT_EQ(NetworkDevicePath(NetworkKind::kRaw, "fd00::17", 4002), "tcp://[fd00::17]:4002");
  EXPECT_EQ(NetworkDevicePath(NetworkKind::kRfc2217, "10.1.2.3", 4001), "rfc2217://10.1.2.3:4001");
  EXPECT_EQ(NetworkDevicePath(NetworkKind::kRfc2217, "", 4001), "");
  EXPECT_EQ(NetworkDevicePath(NetworkKind::kRfc2217, "host", 0), "");
  // Any scheme is a network device: an unknown one fails to open, it is
  // never taken for a terminal's file name.
  auto port = OpenControllerPort("telnet://host:23", 0, 9600);
  EXPECT_EQ(port->ErrorStatus(), kPortNotFound);
  EXPECT_NE(PortSystemReason(*port).find("rfc2217://HOST:PORT"), std::string::npos);
}

struct Collected : TelnetSink {
  std::string events;
  void OnOption(uint8_t command, uint8_t option) override {
    events += "opt " + std::to_string(command) + " " + std::to_string(option) + ";";
  }
  void OnSubnegotiation(const uint8_t* data, size_t size) override {
    events += "sb";
    for (size_t i = 0; i < size; ++i) events += " " + std::to_string(data[i]);
    events += ";";
  }
};

TEST(TelnetFilter, SplitsDataFromCommandsAcrossEveryCut) {
  // Data with a doubled IAC, an option, a line-state notification holding
  // an IAC, a NOP, a subnegotiation cut short by a command, more data.
  const std::basic_string<uint8_t> stream = {
      'a', kIac, kIac, 'b', kIac, kWill, kEcho, kIac, kSb, kComPort, 106, kIac, kIac, kIac, kSe,
      kIac, 241, 'c', kIac, kSb, kComPort, 1, kIac, kDo, kBinary, 'd'};
  const std::string want_events = "opt 251 1;sb 44 106 255;opt 253 0;";
  const std::string want_data = "a\xff" "bcd";
  // Every cut point, and a data buffer of one byte: state carries over.
  for (size_t cut = 0; cut <= stream.size(); ++cut) {
    FilterState state;
    Collected sink;
    std::string data;
    const std::basic_string<uint8_t> parts[2] = {stream.substr(0, cut), stream.substr(cut)};
    for (const auto& part : parts) {
      size_t at = 0;
      while (at < part.size()) {
        uint8_t out[1];
        size_t got = 0;
        at += FilterIac(state, part.data() + at, part.size() - at, out, sizeof out, &got, sink);
        data.append(reinterpret_cast<char*>(out), got);
      }
    }
    EXPECT_EQ(data, want_data) << "cut at " << cut;
    EXPECT_EQ(sink.events, want_events) << "cut at " << cut;
  }
  uint8_t escaped[8];
  size_t len = 0;
  const uint8_t raw[] = {1, kIac, 2, kIac};
  EXPECT_EQ(EscapeIac(raw, 4, escaped, 5, &len), 3u);  // never half a pair
  EXPECT_EQ(std::basic_string<uint8_t>(escaped, len), (std::basic_string<uint8_t>{1, kIac, kIac, 2}));
}

TEST(TelnetOptionState, AnswersWithoutLooping) {
  using S = TelnetOption::State;
  const struct {
    bool local;
    S initial;
    uint8_t command;
    S after;
    int reply;  // 0 none, else the command sent back
  } rows[] = {
      {true, S::kRequested, kDo, S::kActive, 0},
      {true, S::kRequested, kDont, S::kInactive, 0},
      {true, S::kInactive, kDo, S::kActive, kWill},
      {true, S::kRefused, kDo, S::kRefused, kWont},
      {true, S::kActive, kDont, S::kInactive, kWont},
      {true, S::kInactive, kDont, S::kInactive, 0},
      {false, S::kRequested, kWill, S::kActive, 0},
      {false, S::kRefused, kWill, S::kRefused, kDont},
      {false, S::kActive, kWont, S::kInactive, kDont},
  };
  for (const auto& row : rows) {
    TelnetOption o(kBinary, row.local, row.initial);
    uint8_t out[3] = {};
    const int len = o.Process(row.command, out);
    EXPECT_EQ(o.GetState(), row.after) << int(row.command);
    EXPECT_EQ(len == 0 ? 0 : out[1], row.reply) << int(row.command);
  }
  ComPortSetting baud(kSetBaudRate);
  const uint8_t rate[4] = {0, 0, 0x25, 0x80};
  baud.Sent(rate, 4);
  baud.Expire();
  EXPECT_TRUE(baud.Unanswered());
  baud.Sent(rate, 4);
  baud.Answer(rate, 4);
  EXPECT_EQ(baud.GetState(), ComPortSetting::State::kAcknowledged);
}

TEST(NetworkSerialPortServer, NeverFinishingOrGarbledNegotiationFailsWithinTheBound) {
  const ScriptedServer::Script scripts[] = {
      [](int fd, const std::atomic<bool>& stop) { DrainPeer(fd, stop); },
      [](int fd, const std::atomic<bool>& stop) {
        const uint8_t junk[] = {'l', 'o', 'g', 'i', 'n', ':', ' ', kIac, 17, kIac, kSb, 9, 9};
        while (!stop && ::send(fd, junk, sizeof junk, MSG_NOSIGNAL) > 0) DrainPeer(fd, stop, 5);
      },
      // An option storm: the same question again and again.
      [](int fd, const std::atomic<bool>& stop) {
        while (!stop) {
          SendBytes(fd, {kIac, kDo, 24, kIac, kWill, 31, kIac, kDont, kComPort});
          if (DrainPeer(fd, stop, 5).empty() && stop) break;
        }
      },
  };
  for (const auto& script : scripts) {
    ScriptedServer server(script);
    const auto start = Clock::now();
    const auto port = OpenScripted(server.Url());
    EXPECT_EQ(port->ErrorStatus(), kGeneralError);
    EXPECT_LT(NetMsSince(start), 1500);
    EXPECT_FALSE(port->SystemReason().empty());
  }
}

TEST(NetworkSerialPortServer, RefusedBusyAndClosedServersAreNamed) {
  {
    // Nobody listens: the device is not there.
    int port_number = 0;
    { ScriptedServer gone([](int, const std::atomic<bool>&) {}); port_number = std::stoi(gone.Url().substr(20)); }
    const auto port = OpenScripted("rfc2217://127.0.0.1:" + std::to_string(port_number));
    EXPECT_EQ(port->ErrorStatus(), kPortNotFound);
  }
  {
    ScriptedServer busy([](int fd, const std::atomic<bool>&) {
      const char text[] = "Port already in use\r\n";
      (void)::send(fd, text, sizeof text - 1, MSG_NOSIGNAL);
    });
    const auto port = OpenScripted(busy.Url());
    EXPECT_EQ(port->ErrorStatus(), kPortInUse) << port->SystemReason();
  }
}

// A server that answers slower than the protocol's reply windows allow: the
// user is told the link is too slow, not that the controller is silent.
TEST(NetworkSerialPortServer, ASlowServerGetsTheSlowLinkAdvice) {
  for (const int delay_ms : {0, 250}) {
    ScriptedServer server([delay_ms](int fd, const std::atomic<bool>& stop) {
      AgreeAll(fd);
      // Every setting asked is answered with its value, `delay_ms` late.
      const std::basic_string<uint8_t> asked = DrainPeer(fd, stop, 30);
      std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
      for (size_t at = 0; (at = asked.find({kIac, kSb, kComPort}, at)) != std::string::npos; ++at) {
        const size_t end = asked.find({kIac, kSe}, at);
        if (end == std::string::npos) break;
        std::basic_string<uint8_t> answer = asked.substr(at, end + 2 - at);
        answer[3] = static_cast<uint8_t>(answer[3] + 100);
        (void)::send(fd, answer.data(), answer.size(), MSG_NOSIGNAL);
      }
      (void)DrainPeer(fd, stop);
    });
    const auto port = std::make_unique<NetworkSerialPort>(server.Url(), 0, 9600, 'E', 8, 1, 0, 0, 0,
                                                          NetworkSerialPort::Bounds{500, 300, 1000});
    ASSERT_EQ(port->ErrorStatus(), kSuccess) << port->SystemReason();
    EXPECT_EQ(RoundTripAdvice(*port).empty(), delay_ms == 0) << port->RoundTripMs() << " ms";
  }
}

TEST(NetworkSerialPortServer, DataLineErrorsAndAVanishingPeer) {
  std::basic_string<uint8_t> heard;
  std::atomic<bool> wrote{false};
  std::atomic<bool> done{false};
  ScriptedServer server([&](int fd, const std::atomic<bool>& stop) {
    AgreeAll(fd);
    // No acknowledgement ever: every setting waits its bound once only.
    heard = DrainPeer(fd, stop, 400);
    // A reply holding 0xFF, the server's parity error, then more data.
    SendBytes(fd, {'A', kIac, kIac, kIac, kSb, kComPort, 106, kLineParity, kIac, kSe, 'B'});
    while (!wrote && !stop) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    heard += DrainPeer(fd, stop, 100);
    done = true;
  });
  const auto port = OpenScripted(server.Url());
  ASSERT_EQ(port->ErrorStatus(), kSuccess) << port->SystemReason();
  EXPECT_GE(port->RoundTripMs(), 0);
  char reply[3] = {};
  ASSERT_EQ(port->Read(reply, 3, 1000), kSuccess);
  EXPECT_EQ(std::string(reply, 3), "A\xff" "B");
  EXPECT_EQ(port->ParityError(1), 1);
  EXPECT_EQ(port->ParityError(1), 0);
  EXPECT_EQ(port->FramingError(1), 0);
  EXPECT_EQ(port->ClearRxBuffer(), kSuccess);  // the purge's first wait
  // Settings asked again are not waited for: the server never answers.
  auto start = Clock::now();
  EXPECT_EQ(port->SetLineParameters(19200, -1, -1, -1), kSuccess);
  EXPECT_EQ(port->ClearRxBuffer(), kSuccess);
  EXPECT_LT(NetMsSince(start), 100);
  EXPECT_GE(port->UnansweredSettings(), 4);
  const char data[] = {'\x1b', '\xff', 'X'};
  EXPECT_EQ(port->Write(data, 3, 0, nullptr), kSuccess);
  wrote = true;
  // The peer goes: every call fails at once, none waits its window.
  while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  start = Clock::now();
  EXPECT_EQ(port->Read(reply, 3, -1), kGeneralError);
  EXPECT_EQ(port->Write(data, 3, 1000, nullptr), kGeneralError);
  EXPECT_LT(NetMsSince(start), 50);
  // What the server heard: the line set up (line-state mask, rate 9600,
  // 8 bits, even, two stop bits, no flow control, DTR and RTS low), the
  // purge, and the data with its IAC doubled.
  const std::basic_string<uint8_t> expect_tail = {0x1b, kIac, kIac, 'X'};
  ASSERT_GE(heard.size(), expect_tail.size());
  EXPECT_EQ(heard.substr(heard.size() - 4), expect_tail);
  const std::basic_string<uint8_t> line_set = {kIac, kSb, kComPort, kSetBaudRate, 0, 0, 0x25, 0x80, kIac, kSe};
  EXPECT_NE(heard.find(line_set), std::string::npos);
  const std::basic_string<uint8_t> dtr_low = {kIac, kSb, kComPort, kSetControl, kControlDtrOff, kIac, kSe};
  EXPECT_NE(heard.find(dtr_low), std::string::npos);
}

TEST(NetworkSerialPortServer, AFloodKeepsMemoryBoundedAndReadsInTheirWindow) {
  ScriptedServer server([](int fd, const std::atomic<bool>& stop) {
    AgreeAll(fd);
    uint8_t junk[4096];
    std::memset(junk, 'z', sizeof junk);
    pollfd p{fd, POLLOUT, 0};
    while (!stop) {
      if (::poll(&p, 1, 10) > 0 && ::send(fd, junk, sizeof junk, MSG_NOSIGNAL | MSG_DONTWAIT) < 0 &&
          errno != EAGAIN) {
        break;
      }
    }
  });
  const auto start = Clock::now();
  const auto port = OpenScripted(server.Url());
  ASSERT_EQ(port->ErrorStatus(), kSuccess) << port->SystemReason();
  EXPECT_LT(NetMsSince(start), 1500);
  char buf[8];
  for (int i = 0; i < 50; ++i) ASSERT_EQ(port->Read(buf, sizeof buf, 200), kSuccess);
  // The receive queue is fixed: the overflow says what was dropped.
  EXPECT_EQ(port->RxOverflow(1), 1);
  EXPECT_EQ(port->ClearRxBuffer(), kSuccess);
}

}  // namespace
}  // namespace kelvt
