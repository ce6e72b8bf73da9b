// The POSIX port against pseudo-terminals: the test holds the master side
// and plays the line; the port opens the slave by its path. The waits here
// are real (the port's own 95 ms and 200 ms attempts), so they stay short.

#include "serial/posix_serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/idle.h"
#include "platform/tick.h"
#include "serial/uucp_lock.h"

namespace kelvt {
namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point start) {
  return static_cast<long>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A pseudo-terminal whose master side the test keeps.
class Pty {
 public:
  Pty() {
    int slave = -1;
    char name[128] = {};
    if (openpty(&master_, &slave, name, nullptr, nullptr) != 0) return;
    path_ = name;
    ::close(slave);  // the port opens the slave by its path
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { CloseMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& path() const { return path_; }
  int master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void Send(const std::vector<unsigned char>& bytes) {
    ASSERT_EQ(::write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Collects what the port sent until `count` bytes are in or `ms` passed.
  std::vector<unsigned char> Receive(size_t count, int ms = 500) {
    std::vector<unsigned char> out;
    const auto start = Clock::now();
    while (out.size() < count && MsSince(start) < ms) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 10) <= 0) continue;
      unsigned char buf[4096];
      const ssize_t n = ::read(master_, buf, std::min(sizeof buf, count - out.size()));
      if (n > 0) out.insert(out.end(), buf, buf + n);
    }
    return out;
  }

  // The line settings as the master side sees them.
  termios Line() const {
    termios t{};
    tcgetattr(master_, &t);
    return t;
  }
  speed_t Speed() const {
    const termios t = Line();
    return cfgetospeed(&t);
  }

 private:
  int master_ = -1;
  std::string path_;
};

// The arguments every operation opens its port with.
std::unique_ptr<PosixSerialPort> OpenFramework(const std::string& path, long baud = 9600) {
  return std::make_unique<PosixSerialPort>(path, 2, baud, 'E', 8, 1, 0, 0, 0, 0, 0);
}

class PosixSerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(pty_.path().empty());
    port_ = OpenFramework(pty_.path());
    ASSERT_EQ(port_->ErrorStatus(), 0) << port_->SystemReason();
  }
  Pty pty_;
  std::unique_ptr<PosixSerialPort> port_;
};

// ---------------------------------------------------------------- opening

struct OpenRateCase {
  long baud;
  speed_t speed;
};

class OpenRateTest : public ::testing::TestWithParam<OpenRateCase> {};

TEST_P(OpenRateTest, FrameworkArgumentsGiveARawLineAtTheRateWithTwoStopBits) {
  Pty pty;
  auto port = OpenFramework(pty.path(), GetParam().baud);
  ASSERT_EQ(port->ErrorStatus(), 0) << port->SystemReason();

  const termios t = pty.Line();
  EXPECT_EQ(cfgetospeed(&t), GetParam().speed);
  EXPECT_EQ(cfgetispeed(&t), GetParam().speed);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  // INPCK asks for parity checking (a pseudo-terminal has none to do).
  EXPECT_NE(t.c_iflag & INPCK, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IGNPAR | PARMRK | ISTRIP | ICRNL | INLCR | IGNCR), 0u);

  const PortSettings& s = port->Settings();
  EXPECT_EQ(s.baud, GetParam().baud);
  EXPECT_EQ(s.parity, 'E');
  EXPECT_EQ(s.word_length, 8);
  EXPECT_EQ(s.stop_bits, 1);
  EXPECT_EQ(s.dtr, 0);
  EXPECT_EQ(s.rts, 0);
  EXPECT_EQ(s.xon_xoff, 0);
  EXPECT_EQ(port->PortNumber(), 2);
  EXPECT_EQ(port->DevicePath(), pty.path());
}

INSTANTIATE_TEST_SUITE_P(Rates, OpenRateTest,
                         ::testing::Values(OpenRateCase{9600, B9600}, OpenRateCase{19200, B19200},
                                           OpenRateCase{38400, B38400}));

TEST(PosixSerialPortOpen, SavedSettingsHoldTheDeviceAsFound) {
  Pty pty;
  termios before = pty.Line();
  cfsetispeed(&before, B4800);
  cfsetospeed(&before, B4800);
  before.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  before.c_iflag |= IXON;
  ASSERT_EQ(tcsetattr(pty.master(), TCSANOW, &before), 0);

  auto port = OpenFramework(pty.path());
  ASSERT_EQ(port->ErrorStatus(), 0);
  const PortSettings& saved = port->SavedSettings();
  EXPECT_EQ(saved.baud, 4800);
  EXPECT_EQ(saved.stop_bits, 0);
  EXPECT_EQ(saved.word_length, 8);
  EXPECT_EQ(saved.parity, 'N');  // a pseudo-terminal has no parity
  EXPECT_EQ(saved.dtr, -1);
  EXPECT_EQ(saved.rts, -1);
  EXPECT_EQ(saved.xon_xoff, 1);
  // ... and the line now runs as asked, flow control off.
  EXPECT_EQ(pty.Speed(), B9600);
  EXPECT_EQ(pty.Line().c_iflag & IXON, 0u);
}

struct OpenFailureCase {
  const char* name;
  std::function<std::string()> path;  // may prepare the file system
  int code;
  const char* error_name;
  const char* reason;  // "" when any reason will do
};

class OpenFailureTest : public ::testing::TestWithParam<OpenFailureCase> {};

TEST_P(OpenFailureTest, GivesAnActionableCodeAndKeepsPathAndReason) {
  const std::string path = GetParam().path();
  PosixSerialPort port(path, 4, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  EXPECT_EQ(port.ErrorStatus(), GetParam().code);
  EXPECT_STREQ(port.ErrorName(port.ErrorStatus()), GetParam().error_name);
  EXPECT_EQ(port.DevicePath(), path);
  EXPECT_FALSE(port.SystemReason().empty());
  if (GetParam().reason[0] != '\0') {
    EXPECT_EQ(port.SystemReason(), GetParam().reason);
  }
  EXPECT_EQ(port.PortNumber(), 4);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, OpenFailureTest,
    ::testing::Values(
        OpenFailureCase{"missing", [] { return std::string("/dev/kelvt-no-such-port"); },
                        kPortNotFound, "Port not found", "No such file or directory"},
        OpenFailureCase{"empty", [] { return std::string(); }, kPortNotFound, "Port not found",
                        "No such file or directory"},
        OpenFailureCase{"not_a_terminal", [] { return std::string("/dev/null"); }, kGeneralError,
                        "General Error", "Inappropriate ioctl for device"},
        OpenFailureCase{"directory", [] { return std::string("/tmp"); }, kGeneralError,
                        "General Error", "Is a directory"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PosixSerialPortOpen, ASecondPortOnTheSameDeviceIsInUse) {
  Pty pty;
  auto first = OpenFramework(pty.path());
  ASSERT_EQ(first->ErrorStatus(), 0);
  auto second = OpenFramework(pty.path());
  EXPECT_EQ(second->ErrorStatus(), kPortInUse);
  EXPECT_STREQ(second->ErrorName(second->ErrorStatus()), "Port in use");
  EXPECT_EQ(second->SystemReason(), std::strerror(EBUSY));
  // The first port is not disturbed by the attempt.
  EXPECT_EQ(first->WriteBuffer("ok", 2), 0);
  EXPECT_EQ(pty.Receive(2), (std::vector<unsigned char>{'o', 'k'}));

  // Once the first is gone the device can be opened again.
  first.reset();
  second.reset();
  auto third = OpenFramework(pty.path());
  EXPECT_EQ(third->ErrorStatus(), 0);
}

// A terminal program's UUCP lock file, in a folder of the test's own.
struct UucpLockCase {
  const char* name;
  bool under_link_name;  // the lock names the link the port is opened by, else the pts it leads to
  int holder;            // 0 a live process, 1 a process that has ended, 2 garbage
  int expected;
};

class UucpLockTest : public ::testing::TestWithParam<UucpLockCase> {};

TEST_P(UucpLockTest, ALiveHolderMakesThePortInUseAStaleLockIsLeftAlone) {
  const UucpLockCase& c = GetParam();
  char templ[] = "/tmp/kelvt-lock-XXXXXX";
  const std::string dir = mkdtemp(templ);
  SetUucpLockDirectories({dir + "/none", dir});
  Pty pty;
  const std::string link = dir + "/ttyKT";
  ASSERT_EQ(symlink(pty.path().c_str(), link.c_str()), 0);
  pid_t dead = fork();
  if (dead == 0) _exit(0);
  waitpid(dead, nullptr, 0);
  const std::string contents = c.holder == 0   ? std::to_string(getppid())
                               : c.holder == 1 ? std::to_string(dead)
                                               : std::string("garbage");
  const std::string name = c.under_link_name ? "ttyKT" : pty.path().substr(pty.path().rfind('/') + 1);
  const std::string lock = dir + "/LCK.." + name;
  FILE* f = fopen(lock.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fprintf(f, "%10s\n", contents.c_str());
  fclose(f);

  auto port = OpenFramework(link);
  EXPECT_EQ(port->ErrorStatus(), c.expected);
  if (c.expected == kPortInUse) {
    EXPECT_NE(port->SystemReason().find(lock), std::string::npos) << port->SystemReason();
  }
  port.reset();
  struct stat info {};
  EXPECT_EQ(stat(lock.c_str(), &info), 0);  // never deleted
  SetUucpLockDirectories({});
  unlink(lock.c_str());
  unlink(link.c_str());
  rmdir(dir.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Locks, UucpLockTest,
    ::testing::Values(UucpLockCase{"live_by_device_name", false, 0, kPortInUse},
                      UucpLockCase{"live_by_link_name", true, 0, kPortInUse},
                      UucpLockCase{"ended", false, 1, 0}, UucpLockCase{"garbage", false, 2, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UucpLock, ContentsNameTheProcess) {
  const int32_t binary = 4321;
  char raw[4];
  std::memcpy(raw, &binary, 4);
  EXPECT_EQ(ParseUucpLock("      1234\n", 11), 1234);
  EXPECT_EQ(ParseUucpLock("77", 2), 77);
  EXPECT_EQ(ParseUucpLock(raw, 4), 4321);
  EXPECT_EQ(ParseUucpLock("12x\n", 4), 0);
  EXPECT_EQ(ParseUucpLock("99999999999\n", 12), 0);
  EXPECT_EQ(ParseUucpLock("", 0), 0);
}

TEST(PosixSerialPortOpen, ExclusiveModeIsHeldWhileOpenAndDroppedOnClose) {
  Pty pty;
  // A descriptor of our own keeps the terminal alive across the port's close,
  // as the simulator's does.
  const int keeper = ::open(pty.path().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(keeper, 0);
  int exclusive = -1;
  {
    auto port = OpenFramework(pty.path());
    ASSERT_EQ(port->ErrorStatus(), 0);
    ASSERT_EQ(ioctl(keeper, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive, 1);
  }
  ASSERT_EQ(ioctl(keeper, TIOCGEXCL, &exclusive), 0);
  EXPECT_EQ(exclusive, 0);
  ::close(keeper);
}

TEST(PosixSerialPortOpen, EveryOperationOfAPortThatFailedToOpenReturnsItsStatus) {
  PosixSerialPort port("/dev/kelvt-no-such-port", 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  ASSERT_EQ(port.ErrorStatus(), kPortNotFound);
  char buf[8] = {};
  const std::vector<std::pair<const char*, std::function<int()>>> ops = {
      {"ReadBuffer", [&] { return port.ReadBuffer(buf, 8); }},
      {"WriteBuffer", [&] { return port.WriteBuffer("abc", 3); }},
      {"ReadByte", [&] { return port.ReadByte(); }},
      {"WriteByte", [&] { return port.WriteByte('x'); }},
      {"ClearRxBuffer", [&] { return port.ClearRxBuffer(); }},
      {"ClearTxBuffer", [&] { return port.ClearTxBuffer(); }},
      {"SendBreak", [&] { return port.SendBreak(10); }},
      {"XonXoffHandshaking", [&] { return port.XonXoffHandshaking(1); }},
      {"RxOverflow", [&] { return port.RxOverflow(1); }},
      {"OverrunError", [&] { return port.OverrunError(1); }},
      {"ParityError", [&] { return port.ParityError(1); }},
      {"FramingError", [&] { return port.FramingError(1); }},
      {"BreakDetected", [&] { return port.BreakDetected(1); }},
      {"Read", [&] { return port.Read(buf, 8, 100); }},
      {"Write", [&] { return port.Write("abc", 3, 100, nullptr); }},
  };
  for (const auto& [name, op] : ops) {
    EXPECT_EQ(op(), kPortNotFound) << name;
    EXPECT_EQ(port.ByteCount(), 0u) << name;
  }
  // Applying settings needs a device, and says so.
  EXPECT_EQ(port.SetLineParameters(19200, -1, -1, -1), kPortNotOpen);
}

// ---------------------------------------------------------------- settings

TEST_F(PosixSerialPortTest, UnsupportedRateIsIgnoredAndThirtyEightFourHundredSwitches) {
  EXPECT_EQ(port_->SetLineParameters(57600, -1, -1, -1), 0);
  EXPECT_EQ(pty_.Speed(), B9600);
  EXPECT_EQ(port_->Settings().baud, 57600);  // the record holds what was asked

  EXPECT_EQ(port_->SetLineParameters(38400, -1, -1, -1), 0);
  EXPECT_EQ(pty_.Speed(), B38400);
  EXPECT_EQ(port_->Settings().baud, 38400);
  EXPECT_NE(pty_.Line().c_cflag & CSTOPB, 0u);  // other settings untouched
  EXPECT_EQ(port_->Settings().parity, 'E');
}

TEST_F(PosixSerialPortTest, ReapplyingTheSameSettingsSucceedsOnAPseudoTerminal) {
  // The terminal drops the parity it was given, so glibc reports EINVAL for
  // the same settings the second time; the port judges by what was kept.
  for (long rate : {9600L, 9600L, 19200L, 19200L, 38400L, 9600L}) {
    EXPECT_EQ(port_->SetLineParameters(rate, -1, -1, -1), 0) << rate;
    EXPECT_EQ(port_->SetLineParameters(rate, 'E', 8, 1), 0) << rate;
  }
  EXPECT_EQ(pty_.Speed(), B9600);
}

TEST_F(PosixSerialPortTest, UnknownParityLetterIsStoredUpperCased) {
  EXPECT_EQ(port_->SetLineParameters(-1, 'x', -1, -1), 0);
  EXPECT_EQ(port_->Settings().parity, 'X');
  EXPECT_EQ(port_->Settings().baud, 9600);
  EXPECT_EQ(pty_.Speed(), B9600);
}

TEST_F(PosixSerialPortTest, OneStopBitIsAppliedAndTwoRestored) {
  EXPECT_EQ(port_->SetLineParameters(-1, -1, -1, 0), 0);
  EXPECT_EQ(pty_.Line().c_cflag & CSTOPB, 0u);
  EXPECT_EQ(port_->SetLineParameters(-1, -1, -1, 2), 0);
  EXPECT_NE(pty_.Line().c_cflag & CSTOPB, 0u);
}

TEST_F(PosixSerialPortTest, IllegalLowRateIsRefused) {
  EXPECT_EQ(port_->SetLineParameters(14400, -1, -1, -1), kIllegalBaudRate);
  EXPECT_EQ(pty_.Speed(), B9600);
}

TEST_F(PosixSerialPortTest, XonXoffHandshakingQueriesAndSwitches) {
  EXPECT_EQ(port_->XonXoffHandshaking(-1), 0);
  EXPECT_EQ(pty_.Line().c_iflag & (IXON | IXOFF), 0u);
  EXPECT_EQ(port_->XonXoffHandshaking(5), 1);
  EXPECT_EQ(pty_.Line().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(port_->XonXoffHandshaking(-1), 1);
  EXPECT_EQ(port_->XonXoffHandshaking(0), 0);
  EXPECT_EQ(pty_.Line().c_iflag & (IXON | IXOFF), 0u);
}

// ---------------------------------------------------------------- transfers

int g_raw_wait_pumps = 0;

// The raw read's own wait runs the idle step in slices, so the window answers.
TEST_F(PosixSerialPortTest, ReadBufferOfTenWhenFourArriveTimesOutWithFour) {
  pty_.Send({1, 2, 3, 4});
  char buf[10] = {};
  g_raw_wait_pumps = 0;
  SetIdleHook([] { ++g_raw_wait_pumps; });
  const auto start = Clock::now();
  EXPECT_EQ(port_->ReadBuffer(buf, 10), kTimeout);
  const long ms = MsSince(start);
  SetIdleHook(nullptr);
  // One every 10 ms of the 95; a loaded machine may wake late, hence only two.
  EXPECT_GE(g_raw_wait_pumps, 2);
  EXPECT_LE(g_raw_wait_pumps, 10);
  EXPECT_EQ(port_->ByteCount(), 4u);
  EXPECT_EQ(std::vector<char>(buf, buf + 4), (std::vector<char>{1, 2, 3, 4}));
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 400);
}

TEST_F(PosixSerialPortTest, ReadByteWithNothingArrivingTimesOutAfterOneAttempt) {
  const auto start = Clock::now();
  EXPECT_EQ(port_->ReadByte(), kTimeout);
  const long ms = MsSince(start);
  EXPECT_GE(ms, 90);
  EXPECT_LT(ms, 400);
}

TEST_F(PosixSerialPortTest, ReadByteReturnsTheByteUnsigned) {
  pty_.Send({0xF8, 0x00});
  EXPECT_EQ(port_->ReadByte(), 0xF8);
  EXPECT_EQ(port_->ReadByte(), 0x00);
}

TEST_F(PosixSerialPortTest, CompleteReadReturnsAtOnceWithEveryByteValueUntouched) {
  // Every value, including CR, LF, the XON/XOFF characters, the terminal's
  // special characters, 0x00 and 0xFF, must pass through untouched.
  std::vector<unsigned char> all(256);
  for (int i = 0; i < 256; ++i) all[i] = static_cast<unsigned char>(i);
  pty_.Send(all);
  std::vector<char> buf(256);
  const auto start = Clock::now();
  EXPECT_EQ(port_->ReadBuffer(buf.data(), 256), 0);
  EXPECT_LT(MsSince(start), 60);
  EXPECT_EQ(port_->ByteCount(), 256u);
  EXPECT_EQ(std::memcmp(buf.data(), all.data(), 256), 0);

  EXPECT_EQ(port_->WriteBuffer(reinterpret_cast<const char*>(all.data()), 256), 0);
  EXPECT_EQ(port_->ByteCount(), 256u);
  EXPECT_EQ(pty_.Receive(256), all);
}

TEST_F(PosixSerialPortTest, BytesArrivingDuringTheAttemptEndItAsSoonAsAllAreIn) {
  pty_.Send({'a'});
  std::thread late([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty_.Send({'b', 'c'});
  });
  char buf[3] = {};
  const auto start = Clock::now();
  const int result = port_->ReadBuffer(buf, 3);
  const long ms = MsSince(start);
  late.join();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_GE(ms, 25);
  EXPECT_LT(ms, 90);
}

TEST_F(PosixSerialPortTest, WriteByteSendsOneByte) {
  EXPECT_EQ(port_->WriteByte(0xF8), 0);
  EXPECT_EQ(pty_.Receive(1), (std::vector<unsigned char>{0xF8}));
}

TEST_F(PosixSerialPortTest, WriteThatCannotDrainReportsPartialTimeout) {
  // Nobody reads the master side: the terminal's queue fills and the attempt
  // ends after its 200 ms with what went.
  std::vector<char> big(1 << 20, 'x');
  const auto start = Clock::now();
  EXPECT_EQ(port_->WriteBuffer(big.data(), static_cast<int>(big.size())), kTimeout);
  const long ms = MsSince(start);
  EXPECT_GT(port_->ByteCount(), 0u);
  EXPECT_LT(port_->ByteCount(), big.size());
  EXPECT_GE(ms, 190);
  EXPECT_LT(ms, 600);

  const auto again = Clock::now();
  EXPECT_EQ(port_->WriteByte('y'), kTimeout);
  EXPECT_GE(MsSince(again), 190);
}

TEST_F(PosixSerialPortTest, ClearRxBufferDiscardsWhatArrived) {
  pty_.Send({'s', 't', 'a', 'l', 'e'});
  // Let the bytes reach the slave's queue before purging it.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(port_->ClearRxBuffer(), 0);
  char buf[5];
  EXPECT_EQ(port_->ReadBuffer(buf, 5), kTimeout);
  EXPECT_EQ(port_->ByteCount(), 0u);
  EXPECT_EQ(port_->ClearTxBuffer(), 0);
}

TEST_F(PosixSerialPortTest, LineErrorQueriesAnswerZeroWithoutDriverCounters) {
  const std::vector<std::function<int(int)>> queries = {
      [&](int c) { return port_->RxOverflow(c); },   [&](int c) { return port_->OverrunError(c); },
      [&](int c) { return port_->ParityError(c); },  [&](int c) { return port_->FramingError(c); },
      [&](int c) { return port_->BreakDetected(c); },
  };
  for (const auto& q : queries) {
    for (int clear : {-1, 0, 1}) EXPECT_EQ(q(clear), 0);
  }
}

TEST_F(PosixSerialPortTest, SendBreakHoldsForTheGivenTimeOnTheTickCounter) {
  VirtualTickSource ticks(1000);
  ScopedTickSource scoped(&ticks);
  EXPECT_EQ(port_->SendBreak(250), 0);
  EXPECT_GE(ticks.Now() - 1000, 250u);
  EXPECT_LT(ticks.Now() - 1000, 270u);
  EXPECT_EQ(port_->SendBreak(0), 0);
  // The line is usable afterwards.
  EXPECT_EQ(port_->WriteByte('k'), 0);
  EXPECT_EQ(pty_.Receive(1), (std::vector<unsigned char>{'k'}));
}

TEST_F(PosixSerialPortTest, FirstDebugLineNamesTheStatusThroughThePort) {
  char line[RS232::kDebugLineSize] = {};
  ASSERT_EQ(port_->FormatDebugLine(line, 0), 0);
  EXPECT_EQ(std::string(line).rfind("Base class: RS232  COM3   Status: Success", 0), 0u) << line;
}

// ---------------------------------------------------------------- vanishing

TEST_F(PosixSerialPortTest, VanishedDeviceFailsEveryTransferAtOnce) {
  pty_.Send({'l', 'a', 's', 't'});
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  pty_.CloseMaster();

  char buf[16] = {};
  auto start = Clock::now();
  // What was queued before the hang-up is still delivered.
  EXPECT_EQ(port_->ReadBuffer(buf, 16), kGeneralError);
  EXPECT_LE(port_->ByteCount(), 4u);
  EXPECT_LT(MsSince(start), 50);

  start = Clock::now();
  EXPECT_EQ(port_->ReadBuffer(buf, 16), kGeneralError);
  EXPECT_EQ(port_->ReadByte(), kGeneralError);
  EXPECT_EQ(port_->WriteBuffer("abc", 3), kGeneralError);
  EXPECT_EQ(port_->WriteByte('a'), kGeneralError);
  EXPECT_LT(MsSince(start), 50);
  EXPECT_FALSE(port_->SystemReason().empty());
  // The port itself stays open; only the calls fail.
  EXPECT_EQ(port_->ErrorStatus(), 0);
}

TEST_F(PosixSerialPortTest, VanishedDeviceEndsATimedReadWithoutDeadlineAtOnce) {
  std::thread closer([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    pty_.CloseMaster();
  });
  char buf[100];
  const auto start = Clock::now();
  const int result = port_->Read(buf, 100, -1);
  const long ms = MsSince(start);
  closer.join();
  EXPECT_EQ(result, kGeneralError);
  EXPECT_GE(ms, 30);
  EXPECT_LT(ms, 300);
}

// ---------------------------------------------------------------- names

struct ErrorNameCase {
  int code;
  const char* name;
};

class ErrorNameTest : public ::testing::TestWithParam<ErrorNameCase> {};

TEST_P(ErrorNameTest, OwnCodesThenTheSerialTableElseUndefined) {
  PosixSerialPort port("/dev/kelvt-no-such-port", 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  EXPECT_STREQ(port.ErrorName(GetParam().code), GetParam().name);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ErrorNameTest,
    ::testing::Values(ErrorNameCase{-190, "Handshake line in use"}, ErrorNameCase{-191, "Port already open"},
                      ErrorNameCase{-192, "Port not open"}, ErrorNameCase{-193, "Default parameters in error"},
                      ErrorNameCase{-86, "XON/XOFF handshaking not supported"},
                      ErrorNameCase{-98, "Timeout"}, ErrorNameCase{-100, "General Warning"},
                      ErrorNameCase{-194, "Memory allocation error"}, ErrorNameCase{-196, "Port in use"},
                      ErrorNameCase{-197, "Port not found"}, ErrorNameCase{-200, "General Error"},
                      ErrorNameCase{0, "Success"}, ErrorNameCase{3, "???"},
                      ErrorNameCase{-150, "Undefined error"}, ErrorNameCase{-199, "Undefined error"},
                      ErrorNameCase{-5, "Undefined error"}, ErrorNameCase{-85, "Undefined error"},
                      ErrorNameCase{-101, "Undefined error"}, ErrorNameCase{-189, "Undefined error"},
                      ErrorNameCase{-201, "Undefined error"}));

struct ErrnoCase {
  int err;
  int code;
};

class ErrnoTest : public ::testing::TestWithParam<ErrnoCase> {};

TEST_P(ErrnoTest, SystemFailuresMapToPortCodes) {
  EXPECT_EQ(PosixSerialPort::ErrorForErrno(GetParam().err), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Errnos, ErrnoTest,
    ::testing::Values(ErrnoCase{ENOENT, kPortNotFound}, ErrnoCase{ENODEV, kPortNotFound},
                      ErrnoCase{ENXIO, kPortNotFound}, ErrnoCase{EIO, kPortNotFound}, ErrnoCase{EBUSY, kPortInUse},
                      ErrnoCase{EWOULDBLOCK, kPortInUse}, ErrnoCase{ENOMEM, kMemoryAllocationError},
                      ErrnoCase{EACCES, kGeneralError}, ErrnoCase{EPERM, kGeneralError},
                      ErrnoCase{ENOTTY, kGeneralError}, ErrnoCase{EISDIR, kGeneralError},
                      ErrnoCase{0, kGeneralError}));

}  // namespace
}  // namespace kelvt
