#pragma once
// The serial port on a POSIX terminal device (an on-board port, a USB
// adapter or a pseudo-terminal). Constructed means opened: check
// ErrorStatus() afterwards.

#include <termios.h>

#include <cstdint>
#include <string>

#include "serial/line_error_flags.h"
#include "serial/rs232.h"

namespace kelvt {

// Error codes of this port, in the gap of the serial layer's table.
enum PosixPortError : int {
  kHandshakeLineInUse = -190,
  kPortAlreadyOpen = -191,
  kPortNotOpen = -192,
  kDefaultParametersInError = -193,
};

class PosixSerialPort : public RS232 {
 public:
  // Opens `device_path`; `port` is the 0-based port number shown to users + 1.
  PosixSerialPort(const std::string& device_path, int port, long baud, int parity,
                  int wordLength, int stopBits, int dtr, int rts, int xonXoff, int rtsCts,
                  int dtrDsr);
  ~PosixSerialPort() override;

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
  const char* ErrorName(int code) override;

  // The device path and, after a failure, the system's reason (strerror text).
  const std::string& DevicePath() const { return device_path_; }
  const std::string& SystemReason() const { return system_reason_; }
  int SystemErrno() const { return system_errno_; }
  // The driver keeps line-error counters (a UART does, a pseudo-terminal not).
  bool HasLineCounters() const { return has_counters_; }

  static constexpr int kReadTimeoutMs = 95;
  static constexpr int kWriteTimeoutMs = 200;

  // The port's error code for a failure number of the system: a missing
  // device (or a node with no hardware behind it, EIO) gives -197 "Port not
  // found", a device held by someone else -196 "Port in use", exhausted
  // memory -194, anything else -200 "General Error".
  static int ErrorForErrno(int err);

 private:
  enum class Outcome { kDone, kTimedOut, kFailed };

  void Open(long baud, int parity, int wordLength, int stopBits, int dtr, int rts, int xonXoff);
  // Records the system's reason and returns the port's code for it.
  int Fail(int err);
  int Apply();
  // Moves up to `count` bytes within `ms` milliseconds; `moved` tells how many.
  Outcome Transfer(bool reading, char* buffer, int count, int ms, int* moved);
  int LineError(int bit, int clear);

  std::string device_path_;
  std::string system_reason_;
  int system_errno_ = 0;
  int fd_ = -1;
  termios saved_device_config_{};  // as found when opened; never written back
  termios device_config_{};        // in force; every apply starts from it
  LineErrorFlags line_errors_;
  bool has_counters_ = false;  // the driver keeps line-error counters
};

}  // namespace kelvt
