#include "serial/termios_settings.h"

#include <termios.h>

#include <gtest/gtest.h>

#include "serial/rs232.h"

namespace kelvt {
namespace {

// A record as a device might report it: 4800 baud, odd parity, 7 bits, one
// stop bit, software flow control on, cooked input.
termios Sample() {
  termios t{};
  cfsetispeed(&t, B4800);
  cfsetospeed(&t, B4800);
  t.c_cflag = CS7 | PARENB | PARODD | CREAD;
  cfsetispeed(&t, B4800);
  cfsetospeed(&t, B4800);
  t.c_iflag = IXON | IXOFF | ICRNL | INPCK | PARMRK;
  t.c_lflag = ICANON | ECHO | ISIG;
  t.c_oflag = OPOST;
  return t;
}

PortSettings Unchanged() {
  PortSettings s;
  s.baud = -1;
  s.parity = '?';
  s.word_length = -1;
  s.stop_bits = -1;
  s.xon_xoff = 0;
  return s;
}

struct ReadCase {
  tcflag_t cflag;
  int parity;
  int word_length;
  int stop_bits;
};

class SettingsFromTermiosTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(SettingsFromTermiosTest, ReportsParitySizeAndStopBits) {
  termios t{};
  t.c_cflag = GetParam().cflag;
  cfsetospeed(&t, B19200);
  const PortSettings s = SettingsFromTermios(t);
  EXPECT_EQ(s.baud, 19200);
  EXPECT_EQ(s.parity, GetParam().parity);
  EXPECT_EQ(s.word_length, GetParam().word_length);
  EXPECT_EQ(s.stop_bits, GetParam().stop_bits);
  EXPECT_EQ(s.dtr, -1);
  EXPECT_EQ(s.rts, -1);
  EXPECT_EQ(s.xon_xoff, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Records, SettingsFromTermiosTest,
    ::testing::Values(ReadCase{CS8, 'N', 8, 0}, ReadCase{CS8 | PARENB, 'E', 8, 0},
                      ReadCase{CS7 | PARENB | PARODD, 'O', 7, 0},
                      ReadCase{CS8 | PARENB | CMSPAR | PARODD, 'M', 8, 0},
                      ReadCase{CS8 | PARENB | CMSPAR, 'S', 8, 0},
                      ReadCase{CS6 | CSTOPB, 'N', 6, 2}, ReadCase{CS5 | CSTOPB | PARENB, 'E', 5, 2},
                      // Mark/space bit without parity enabled means no parity.
                      ReadCase{CS8 | CMSPAR, 'N', 8, 0}));

TEST(SettingsFromTermios, UnknownSpeedIsMinusOneAndXonFollowsIxon) {
  termios t{};
  cfsetospeed(&t, B0);
  t.c_iflag = IXON;
  const PortSettings s = SettingsFromTermios(t);
  EXPECT_EQ(s.baud, -1);
  EXPECT_EQ(s.xon_xoff, 1);
}

struct RateCase {
  long baud;
  int result;
  speed_t speed_after;  // the record's speed afterwards (the sample has B4800)
  speed_t reported;     // what EditTermios says it set
};

class EditRateTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(EditRateTest, RatesUpToNineteenTwoHundredAndThirtyEightFourHundredAreSet) {
  termios t = Sample();
  PortSettings s = Unchanged();
  s.baud = static_cast<int32_t>(GetParam().baud);
  speed_t reported = 12345;
  EXPECT_EQ(EditTermios(s, t, &reported), GetParam().result);
  EXPECT_EQ(cfgetospeed(&t), GetParam().speed_after);
  EXPECT_EQ(cfgetispeed(&t), GetParam().speed_after);
  EXPECT_EQ(reported, GetParam().reported);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, EditRateTest,
    ::testing::Values(RateCase{9600, 0, B9600, B9600}, RateCase{19200, 0, B19200, B19200},
                      RateCase{38400, 0, B38400, B38400}, RateCase{300, 0, B300, B300},
                      // Above 19200 and not 38400: left as it was, no error.
                      RateCase{57600, 0, B4800, B0}, RateCase{115200, 0, B4800, B0},
                      RateCase{28800, 0, B4800, B0},
                      // Unknown or "leave" rates.
                      RateCase{-1, 0, B4800, B0}, RateCase{0, 0, B4800, B0},
                      // Below 19200 but with no speed of its own.
                      RateCase{14400, kIllegalBaudRate, B4800, B0}));

struct ParityCase {
  int parity;
  tcflag_t expected;  // PARENB | PARODD | CMSPAR bits afterwards
};

class EditParityTest : public ::testing::TestWithParam<ParityCase> {};

TEST_P(EditParityTest, KnownLettersInAnyCaseSetParityOthersLeaveIt) {
  termios t = Sample();  // odd parity to begin with
  PortSettings s = Unchanged();
  s.parity = GetParam().parity;
  EXPECT_EQ(EditTermios(s, t, nullptr), 0);
  EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR), GetParam().expected);
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));  // untouched
}

INSTANTIATE_TEST_SUITE_P(
    Letters, EditParityTest,
    ::testing::Values(ParityCase{'E', PARENB}, ParityCase{'e', PARENB}, ParityCase{'N', 0},
                      ParityCase{'n', 0}, ParityCase{'O', PARENB | PARODD},
                      ParityCase{'M', PARENB | PARODD | CMSPAR}, ParityCase{'m', PARENB | PARODD | CMSPAR},
                      ParityCase{'S', PARENB | CMSPAR},
                      ParityCase{'X', PARENB | PARODD}, ParityCase{'x', PARENB | PARODD},
                      ParityCase{'?', PARENB | PARODD}, ParityCase{-1, PARENB | PARODD},
                      ParityCase{1000, PARENB | PARODD}));

struct FrameCase {
  int word_length;
  int stop_bits;
  tcflag_t size;
  bool two_stops;
};

class EditFrameTest : public ::testing::TestWithParam<FrameCase> {};

TEST_P(EditFrameTest, WordLengthAndStopBitCodes) {
  termios t = Sample();  // CS7, one stop bit
  PortSettings s = Unchanged();
  s.word_length = GetParam().word_length;
  s.stop_bits = GetParam().stop_bits;
  EXPECT_EQ(EditTermios(s, t, nullptr), 0);
  EXPECT_EQ(t.c_cflag & CSIZE, GetParam().size);
  EXPECT_EQ((t.c_cflag & CSTOPB) != 0, GetParam().two_stops);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, EditFrameTest,
    ::testing::Values(FrameCase{8, 1, CS8, true}, FrameCase{8, 2, CS8, true},
                      FrameCase{8, 0, CS8, false}, FrameCase{5, 1, CS5, true},
                      FrameCase{6, 0, CS6, false}, FrameCase{7, 2, CS7, true},
                      // Out-of-range values leave the field as it was.
                      FrameCase{9, 3, CS7, false}, FrameCase{4, -1, CS7, false},
                      FrameCase{-1, 7, CS7, false}));

TEST(EditTermios, StopBitCodeThreeLeavesTwoStopBitsAlone) {
  termios t = Sample();
  t.c_cflag |= CSTOPB;
  PortSettings s = Unchanged();
  s.stop_bits = 3;
  EditTermios(s, t, nullptr);
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
}

TEST(EditTermios, XonXoffSwitchesBothDirections) {
  termios t = Sample();
  PortSettings s = Unchanged();
  s.xon_xoff = 0;
  EditTermios(s, t, nullptr);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), 0u);
  s.xon_xoff = 1;
  EditTermios(s, t, nullptr);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
}

TEST(MakeRaw, BytesPassUntouchedAndReadsNeverBlockInTheDriver) {
  termios t = Sample();
  t.c_cflag |= CRTSCTS;
  t.c_iflag |= IGNPAR | ISTRIP | INLCR | IGNCR | BRKINT;
  MakeRaw(t);
  EXPECT_EQ(t.c_iflag & (IGNPAR | PARMRK | INPCK | ISTRIP | INLCR | IGNCR | ICRNL | BRKINT), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
  EXPECT_NE(t.c_cflag & CREAD, 0u);
  EXPECT_NE(t.c_cflag & CLOCAL, 0u);
  EXPECT_EQ(t.c_cc[VMIN], 0);
  EXPECT_EQ(t.c_cc[VTIME], 0);
  // Line settings themselves are not MakeRaw's business.
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS7));
  EXPECT_NE(t.c_cflag & PARENB, 0u);
  EXPECT_EQ(cfgetospeed(&t), B4800);
  EXPECT_NE(t.c_iflag & IXON, 0u);
}

struct SpeedCase {
  long rate;
  speed_t speed;
};

class SpeedTableTest : public ::testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedTableTest, RatesAndSpeedsMapBothWays) {
  EXPECT_EQ(SpeedForRate(GetParam().rate), GetParam().speed);
  if (GetParam().speed != B0) {
    EXPECT_EQ(RateForSpeed(GetParam().speed), GetParam().rate);
  }
}

INSTANTIATE_TEST_SUITE_P(Speeds, SpeedTableTest,
                         ::testing::Values(SpeedCase{9600, B9600}, SpeedCase{19200, B19200},
                                           SpeedCase{38400, B38400}, SpeedCase{57600, B57600},
                                           SpeedCase{110, B110}, SpeedCase{14400, B0},
                                           SpeedCase{0, B0}, SpeedCase{-1, B0}));

}  // namespace
}  // namespace kelvt
