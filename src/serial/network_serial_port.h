#pragma once
// The serial port of a serial device server, over TCP: `rfc2217://HOST:PORT`
// speaks Telnet with the COM-PORT-OPTION (rate, parity, data and stop bits,
// DTR/RTS, break, purge, line errors); `tcp://HOST:PORT` carries data only,
// at the server's own fixed line settings. Constructed means connected:
// check ErrorStatus() afterwards. Single-threaded: every wait is a poll()
// on a monotonic deadline, as on a local port.

#include <cstdint>
#include <string>

#include "serial/line_error_flags.h"
#include "serial/rs232.h"
#include "serial/telnet_protocol.h"

namespace kelvt {

enum class NetworkKind { kRfc2217, kRaw };

struct NetworkAddress {
  NetworkKind kind = NetworkKind::kRfc2217;
  std::string host;  // without the brackets of an IPv6 address
  std::string service;
};

// Whether `path` names a network device (it has a scheme: "xxx://").
bool IsNetworkPath(const std::string& path);
// `rfc2217://HOST:PORT` or `tcp://HOST:PORT`, HOST a name, IPv4 or [IPv6],
// PORT 1..65535. False for anything else.
bool ParseNetworkAddress(const std::string& path, NetworkAddress& address);
// The path of a network device from its pieces (an IPv6 address gets its
// brackets); empty when they make no valid path.
std::string NetworkDevicePath(NetworkKind kind, const std::string& host, int port);
// Whether the server of a network device accepts a connection within
// `timeout_ms` (the connection is closed again at once).
bool NetworkDeviceAccepts(const std::string& path, int timeout_ms);

class NetworkSerialPort : public RS232, private telnet::TelnetSink {
 public:
  // How long each step may take. The defaults are the product's; tests
  // shorten them.
  struct Bounds {
    int connect_ms = 3000;      // the TCP connection
    int negotiation_ms = 3000;  // the Telnet options at the start
    int ack_ms = 1000;          // a setting's acknowledgement
  };

  NetworkSerialPort(const std::string& path, int port, long baud, int parity, int wordLength,
                    int stopBits, int dtr, int rts, int xonXoff, const Bounds& bounds);
  NetworkSerialPort(const std::string& path, int port, long baud, int parity, int wordLength,
                    int stopBits, int dtr, int rts, int xonXoff)
      : NetworkSerialPort(path, port, baud, parity, wordLength, stopBits, dtr, rts, xonXoff,
                          Bounds()) {}
  ~NetworkSerialPort() override;

  int ReadBuffer(char* buffer, int count) override;
  int WriteBuffer(const char* buffer, int count) override;
  int ReadByte() override;
  int WriteByte(int byte) override;
  int SetLineParameters(long baud, int parity, int wordLength, int stopBits) override;
  int ParityError(int clear) override;
  int BreakDetected(int clear) override;
  int FramingError(int clear) override;
  int OverrunError(int clear) override;
  int SendBreak(long milliseconds) override;
  int RxOverflow(int clear) override;
  int XonXoffHandshaking(int setting) override;
  int ClearRxBuffer() override;
  int ClearTxBuffer() override;

  const std::string& DevicePath() const { return device_path_; }
  const std::string& SystemReason() const { return system_reason_; }
  int SystemErrno() const { return system_errno_; }
  NetworkKind Kind() const { return address_.kind; }
  // One round trip to the server (ms; -1 before): the TCP connection's set-up
  // time, or the server's answer to the first settings when that was longer.
  double RoundTripMs() const { return round_trip_ms_; }
  // Settings the server never acknowledged (ser2net on a terminal leaves
  // DTR/RTS unanswered; a silent server everything).
  int UnansweredSettings() const;

  static constexpr int kReadTimeoutMs = 95;
  static constexpr int kWriteTimeoutMs = 200;
  static constexpr size_t kRxCapacity = 16384;
  static constexpr size_t kTxCapacity = 8192;

 private:
  enum SettingIndex { kBaud, kDataSize, kParity, kStopSize, kPurge, kLineMask, kSettingCount };

  void Open(long baud, int parity, int wordLength, int stopBits, int dtr, int rts, int xonXoff);
  bool Connect();
  bool Negotiate();
  int Fail(int code, int err, const std::string& reason);
  // The peer closed or reset the connection: every call fails from now on.
  void Vanish(int err);
  // Sends what is queued without waiting; false when the connection failed.
  bool Flush();
  // Takes what the socket holds without waiting; false when it failed.
  bool Receive();
  // Moves data until `done()` holds or the deadline passes; false when the
  // connection failed.
  template <typename Done>
  bool PumpUntil(int64_t deadline_ns, Done done);
  bool Queue(const uint8_t* bytes, size_t size);
  bool QueueSetting(SettingIndex index, const uint8_t* value, size_t size);
  bool QueueControl(uint8_t value);
  // Waits for the settings asked for, within the acknowledgement bound.
  bool AwaitSettings();
  int ApplySettings();
  size_t RxAvailable() const { return rx_end_ - rx_begin_; }
  void TakeData(const uint8_t* data, size_t size);
  int Transfer(bool reading, char* buffer, int count, int ms);
  int LineError(int bit, int clear);

  void OnOption(uint8_t command, uint8_t option) override;
  void OnSubnegotiation(const uint8_t* data, size_t size) override;

  std::string device_path_;
  NetworkAddress address_;
  Bounds bounds_;
  std::string system_reason_;
  int system_errno_ = 0;
  int fd_ = -1;
  bool gone_ = false;
  double round_trip_ms_ = -1;
  bool settings_timed_ = false;  // the round trip includes a settings answer

  uint8_t rx_[kRxCapacity] = {};
  size_t rx_begin_ = 0;
  size_t rx_end_ = 0;
  uint8_t tx_[kTxCapacity] = {};
  size_t tx_len_ = 0;
  char greeting_[128] = {};  // the first data a server sent during the negotiation
  size_t greeting_len_ = 0;

  telnet::FilterState filter_;
  telnet::TelnetOption options_[5];
  telnet::ComPortSetting settings_[kSettingCount];
  PortSettings sent_;  // what the server was last asked for
  bool sent_any_ = false;
  int line_counts_[LineErrorFlags::kCount] = {};
  LineErrorFlags line_errors_;
};

}  // namespace kelvt
