#include "serial/posix_serial_port.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/tick.h"
#include "serial/sysfs_serial_devices.h"
#include "serial/termios_settings.h"
#include "serial/uucp_lock.h"

namespace kelvt {
namespace {

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// poll() takes whole milliseconds: round a remainder up, so that a wait of
// 0.4 ms does not turn into poll(0) calls that spin until the deadline.
int PollTimeoutMs(int64_t remaining_ns) {
  if (remaining_ns <= 0) return 0;
  return static_cast<int>((remaining_ns + 999999) / 1000000);
}

// A modem-control line the device does not have (a pseudo-terminal has no
// DTR or RTS) is no error: the original port ignores these results too.
void SetModemLine(int fd, int line, int value) {
  if (value != 0 && value != 1) return;
  int bits = line;
  (void)ioctl(fd, value != 0 ? TIOCMBIS : TIOCMBIC, &bits);
}

// The driver's running line-error counts, in the order of the flag bits.
bool ReadLineCounters(int fd, int (&counts)[LineErrorFlags::kCount]) {
  serial_icounter_struct c{};
  if (ioctl(fd, TIOCGICOUNT, &c) != 0) return false;
  counts[kRxOverflowBit] = c.buf_overrun;
  counts[kOverrunBit] = c.overrun;
  counts[kParityBit] = c.parity;
  counts[kFramingBit] = c.frame;
  counts[kBreakBit] = c.brk;
  return true;
}

// An FTDI-type adapter holds a short reply for up to 16 ms unless asked
// for low latency, which costs every scan. A driver without the setting
// refuses it; that is no error.
void AskForLowLatency(int fd) {
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  (void)ioctl(fd, TIOCSSERIAL, &info);
}

}  // namespace

int PosixSerialPort::ErrorForErrno(int err) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    // A node with no hardware behind it (a ttyS the machine has no UART
    // for) opens and then answers EIO: for the user that port is not there.
    case EIO:
      return kPortNotFound;
    case EBUSY:
    case EWOULDBLOCK:
      return kPortInUse;
    case ENOMEM:
      return kMemoryAllocationError;
    default:
      return kGeneralError;
  }
}

PosixSerialPort::PosixSerialPort(const std::string& device_path, int port, long baud,
                                 int parity, int wordLength, int stopBits, int dtr, int rts,
                                 int xonXoff, int /*rtsCts*/, int /*dtrDsr*/)
    : device_path_(device_path) {
  port_number = port;
  Open(baud, parity, wordLength, stopBits, dtr, rts, xonXoff);
}

PosixSerialPort::~PosixSerialPort() {
  if (fd_ >= 0) {
    // The exclusive flag lives on the device, not on our descriptor: left set,
    // it would lock out the next program while someone else keeps the device
    // open (the simulator does).
    (void)ioctl(fd_, TIOCNXCL);
    ::close(fd_);
    fd_ = -1;
  }
}

int PosixSerialPort::Fail(int err) {
  system_errno_ = err;
  system_reason_ = std::strerror(err);
  return ErrorForErrno(err);
}

void PosixSerialPort::Open(long baud, int parity, int wordLength, int stopBits, int dtr,
                           int rts, int xonXoff) {
  error_status = kSuccess;
  fd_ = ::open(device_path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd_ < 0) {
    error_status = Fail(errno);
    return;
  }
  const std::string kernel_name = TtyKernelName(device_path_);
  if (!SerialHardwarePresent(kernel_name)) {
    error_status = kPortNotFound;
    system_errno_ = ENODEV;
    system_reason_ = "No UART behind " + kernel_name;
    ::close(fd_);
    fd_ = -1;
    return;
  }

  // A terminal program (minicom, picocom) announces its session with a UUCP
  // lock file rather than flock: leave its device alone too.
  std::string lock_file;
  if (const pid_t holder = UucpLockHolder(device_path_, &lock_file); holder > 0) {
    error_status = Fail(EBUSY);
    system_reason_ = "Locked by process " + std::to_string(holder) + " (" + lock_file + ")";
    ::close(fd_);
    fd_ = -1;
    return;
  }

  // Claim the device before touching its settings. flock keeps out every
  // other program that asks (and a second port in this one); TIOCEXCL keeps
  // out plain opens by anyone but root.
  if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    error_status = Fail(err == EWOULDBLOCK ? EBUSY : err);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  (void)ioctl(fd_, TIOCEXCL);

  if (tcgetattr(fd_, &device_config_) != 0) {
    error_status = Fail(errno);
    ::close(fd_);
    fd_ = -1;
    return;
  }
  if (UsbTty(kernel_name)) AskForLowLatency(fd_);
  settings = SettingsFromTermios(device_config_);
  saved_settings = settings;
  saved_device_config_ = device_config_;

  settings.Update(baud, parity, wordLength, stopBits, dtr, rts, xonXoff, -1, -1);
  error_status = Apply();

  int counts[LineErrorFlags::kCount];
  if (ReadLineCounters(fd_, counts)) {
    has_counters_ = true;
    line_errors_.Start(counts);
  }
}

int PosixSerialPort::Apply() {
  if (fd_ < 0) return kPortNotOpen;
  termios wanted = device_config_;
  MakeRaw(wanted);
  speed_t speed = B0;
  const int edit = EditTermios(settings, wanted, &speed);

  SetModemLine(fd_, TIOCM_RTS, settings.rts);
  SetModemLine(fd_, TIOCM_DTR, settings.dtr);

  const int set_error = tcsetattr(fd_, TCSANOW, &wanted) == 0 ? 0 : errno;
  // Judge by what the device kept: a pseudo-terminal drops parity and forces
  // 8 bits without complaint the first time, and then refuses the same
  // request with EINVAL, though everything that matters has been applied.
  termios kept{};
  if (tcgetattr(fd_, &kept) != 0) return Fail(errno);
  device_config_ = kept;

  if (edit != kSuccess) return edit;
  const bool rate_kept = speed == B0 || cfgetospeed(&kept) == speed;
  const bool stops_kept = ((wanted.c_cflag ^ kept.c_cflag) & CSTOPB) == 0;
  if (rate_kept && stops_kept) return kSuccess;
  if (set_error != 0) return Fail(set_error);
  return rate_kept ? kIllegalStopBits : kIllegalBaudRate;
}

PosixSerialPort::Outcome PosixSerialPort::Transfer(bool reading, char* buffer, int count,
                                                   int ms, int* moved) {
  *moved = 0;
  const int64_t deadline = MonotonicNs() + static_cast<int64_t>(ms) * 1000000;
  bool ready = false;   // poll() said the device can move data now
  bool hangup = false;  // poll() reported a hang-up or an error condition
  for (;;) {
    if (*moved >= count) return Outcome::kDone;
    const size_t want = static_cast<size_t>(count - *moved);
    const ssize_t n = reading ? ::read(fd_, buffer + *moved, want)
                              : ::write(fd_, buffer + *moved, want);
    if (n > 0) {
      *moved += static_cast<int>(n);
      ready = hangup = false;
      continue;
    }
    if (n < 0) {
      const int err = errno;
      if (err == EINTR) continue;
      if (err != EAGAIN && err != EWOULDBLOCK) {
        Fail(err);
        return Outcome::kFailed;
      }
    }
    // Readable but nothing to read, or a hang-up with nothing left to take:
    // the device is gone. Waiting on would only see the same again at once.
    if (hangup || (reading && ready && n == 0)) {
      Fail(EIO);
      return Outcome::kFailed;
    }

    const int64_t remaining = deadline - MonotonicNs();
    if (remaining <= 0) return Outcome::kTimedOut;
    // The wait goes in slices, with an idle step after each quiet one, so the
    // window answers while a reply is awaited; the deadline stays the same.
    constexpr int64_t kSliceNs = static_cast<int64_t>(kIdleSliceMs) * 1000000;
    pollfd p{fd_, static_cast<short>(reading ? POLLIN : POLLOUT), 0};
    const int r = ::poll(&p, 1, PollTimeoutMs(std::min(remaining, kSliceNs)));
    if (r < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
      return Outcome::kFailed;
    }
    if (r == 0) {
      if (deadline - MonotonicNs() > 0) IdleFunction();
      continue;  // the deadline check above ends the attempt
    }
    if ((p.revents & POLLNVAL) != 0) {
      Fail(EBADF);
      return Outcome::kFailed;
    }
    // A hang-up is confirmed by the transfer that follows, after any bytes
    // still queued have been taken.
    hangup = (p.revents & (POLLHUP | POLLERR)) != 0;
    ready = true;
  }
}

int PosixSerialPort::ReadBuffer(char* buffer, int count) {
  byte_count = 0;
  if (error_status < 0) return error_status;
  if (count <= 0 || buffer == nullptr) return count <= 0 ? kSuccess : kTimeout;
  int moved = 0;
  const Outcome outcome = Transfer(true, buffer, count, kReadTimeoutMs, &moved);
  byte_count = static_cast<uint32_t>(moved);
  switch (outcome) {
    case Outcome::kDone: return kSuccess;
    case Outcome::kTimedOut: return kTimeout;
    case Outcome::kFailed: break;
  }
  // Not -98: the timed operations retry a time-out until their deadline,
  // and against a failing device that would spin (or, without a deadline,
  // never end).
  return kGeneralError;
}

int PosixSerialPort::WriteBuffer(const char* buffer, int count) {
  byte_count = 0;
  if (error_status < 0) return error_status;
  if (count <= 0 || buffer == nullptr) return count <= 0 ? kSuccess : kGeneralError;
  int moved = 0;
  // Transfer only reads from the buffer when writing.
  const Outcome outcome =
      Transfer(false, const_cast<char*>(buffer), count, kWriteTimeoutMs, &moved);
  byte_count = static_cast<uint32_t>(moved);
  switch (outcome) {
    case Outcome::kDone: return kSuccess;
    case Outcome::kTimedOut: return kTimeout;
    case Outcome::kFailed: break;
  }
  return kGeneralError;
}

int PosixSerialPort::ReadByte() {
  if (error_status < 0) return error_status;
  char c = 0;
  int moved = 0;
  const Outcome outcome = Transfer(true, &c, 1, kReadTimeoutMs, &moved);
  if (outcome == Outcome::kDone) return static_cast<unsigned char>(c);
  return outcome == Outcome::kTimedOut ? kTimeout : kGeneralError;
}

int PosixSerialPort::WriteByte(int byte) {
  if (error_status < 0) return error_status;
  char c = static_cast<char>(byte);
  int moved = 0;
  const Outcome outcome = Transfer(false, &c, 1, kWriteTimeoutMs, &moved);
  if (outcome == Outcome::kDone) return kSuccess;
  return outcome == Outcome::kTimedOut ? kTimeout : kGeneralError;
}

int PosixSerialPort::SetLineParameters(long baud, int parity, int wordLength, int stopBits) {
  settings.Update(baud, parity, wordLength, stopBits, -1, -1, -1, -1, -1);
  return Apply();
}

int PosixSerialPort::LineError(int bit, int clear) {
  if (error_status < 0) return error_status;
  // Without counters in the driver (a pseudo-terminal, many USB adapters)
  // nothing is ever raised, so every query answers 0.
  int counts[LineErrorFlags::kCount];
  if (has_counters_ && ReadLineCounters(fd_, counts)) line_errors_.Merge(counts);
  return line_errors_.Query(bit, clear);
}

int PosixSerialPort::RxOverflow(int clear) { return LineError(kRxOverflowBit, clear); }
int PosixSerialPort::OverrunError(int clear) { return LineError(kOverrunBit, clear); }
int PosixSerialPort::ParityError(int clear) { return LineError(kParityBit, clear); }
int PosixSerialPort::FramingError(int clear) { return LineError(kFramingBit, clear); }
int PosixSerialPort::BreakDetected(int clear) { return LineError(kBreakBit, clear); }

int PosixSerialPort::SendBreak(long milliseconds) {
  if (error_status < 0) return error_status;
  // A timed break of our own: tcsendbreak() rounds to steps of 100 ms or more.
  (void)ioctl(fd_, TIOCSBRK);
  if (milliseconds > 0) {
    const uint32_t ms = static_cast<uint32_t>(std::min<long>(milliseconds, INT32_MAX));
    const uint32_t start = TickCount();
    for (;;) {
      const uint32_t passed = TickCount() - start;
      if (passed >= ms) break;
      IdleFunction();
      // Keep the user interface alive without burning a core.
      SleepMs(std::min<uint32_t>(ms - passed, 10));
    }
  }
  (void)ioctl(fd_, TIOCCBRK);
  return kSuccess;
}

int PosixSerialPort::XonXoffHandshaking(int setting) {
  if (error_status < 0) return error_status;
  if (setting != -1) {
    settings.xon_xoff = setting != 0 ? 1 : 0;
    (void)Apply();
  }
  return settings.xon_xoff;
}

int PosixSerialPort::ClearRxBuffer() {
  if (error_status < 0) return error_status;
  return tcflush(fd_, TCIFLUSH) == 0 ? kSuccess : Fail(errno);
}

int PosixSerialPort::ClearTxBuffer() {
  if (error_status < 0) return error_status;
  return tcflush(fd_, TCOFLUSH) == 0 ? kSuccess : Fail(errno);
}

const char* PosixSerialPort::ErrorName(int code) {
  switch (code) {
    case kHandshakeLineInUse: return "Handshake line in use";
    case kPortAlreadyOpen: return "Port already open";
    case kPortNotOpen: return "Port not open";
    case kDefaultParametersInError: return "Default parameters in error";
    default: break;
  }
  if (code == kPortNotOpened) return "Undefined error";
  if (code >= 0 || (code >= -100 && code <= -86) || (code >= -200 && code <= -194)) {
    return RS232::ErrorName(code);
  }
  return "Undefined error";
}

}  // namespace kelvt
