#include "serial/termios_settings.h"

#include <cctype>

#include "serial/rs232.h"

namespace kelvt {
namespace {

struct RateSpeed {
  long rate;
  speed_t speed;
};

// The rates a termios record can carry without the non-standard interfaces.
constexpr RateSpeed kRates[] = {
    {50, B50},         {75, B75},         {110, B110},       {134, B134},
    {150, B150},       {200, B200},       {300, B300},       {600, B600},
    {1200, B1200},     {1800, B1800},     {2400, B2400},     {4800, B4800},
    {9600, B9600},     {19200, B19200},   {38400, B38400},   {57600, B57600},
    {115200, B115200}, {230400, B230400},
};

}  // namespace

speed_t SpeedForRate(long baud) {
  for (const RateSpeed& r : kRates) {
    if (r.rate == baud) return r.speed;
  }
  return B0;
}

long RateForSpeed(speed_t speed) {
  for (const RateSpeed& r : kRates) {
    if (r.speed == speed) return r.rate;
  }
  return -1;
}

PortSettings SettingsFromTermios(const termios& t) {
  PortSettings s;
  s.baud = static_cast<int32_t>(RateForSpeed(cfgetospeed(&t)));

  const tcflag_t c = t.c_cflag;
  if ((c & PARENB) == 0) {
    s.parity = 'N';
  } else if ((c & CMSPAR) != 0) {
    s.parity = (c & PARODD) != 0 ? 'M' : 'S';
  } else {
    s.parity = (c & PARODD) != 0 ? 'O' : 'E';
  }

  switch (c & CSIZE) {
    case CS5: s.word_length = 5; break;
    case CS6: s.word_length = 6; break;
    case CS7: s.word_length = 7; break;
    default: s.word_length = 8; break;
  }
  s.stop_bits = (c & CSTOPB) != 0 ? 2 : 0;
  s.dtr = -1;
  s.rts = -1;
  s.xon_xoff = (t.c_iflag & IXON) != 0 ? 1 : 0;
  return s;
}

void MakeRaw(termios& t) {
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | PARMRK | INPCK | ISTRIP | INLCR |
                                      IGNCR | ICRNL | IUCLC | IMAXBEL);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag |= CREAD | CLOCAL;
  t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
  // Reads never block in the driver: the port waits with poll() itself.
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
}

int EditTermios(const PortSettings& s, termios& t, speed_t* speed_set) {
  int result = kSuccess;
  speed_t chosen = B0;
  if (s.baud > 0 && (s.baud <= 19200 || s.baud == 38400)) {
    chosen = SpeedForRate(s.baud);
    if (chosen == B0) {
      result = kIllegalBaudRate;
    } else {
      cfsetispeed(&t, chosen);
      cfsetospeed(&t, chosen);
    }
  }
  if (speed_set != nullptr) *speed_set = chosen;

  const int parity = (s.parity >= 0 && s.parity <= 255) ? std::toupper(s.parity) : s.parity;
  const tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
  switch (parity) {
    case 'N': t.c_cflag &= ~kParityBits; break;
    case 'E': t.c_cflag = (t.c_cflag & ~kParityBits) | PARENB; break;
    case 'O': t.c_cflag = (t.c_cflag & ~kParityBits) | PARENB | PARODD; break;
    case 'M': t.c_cflag = (t.c_cflag & ~kParityBits) | PARENB | CMSPAR | PARODD; break;
    case 'S': t.c_cflag = (t.c_cflag & ~kParityBits) | PARENB | CMSPAR; break;
    default: break;
  }
  // With parity on, a byte that arrives with a parity or framing error is
  // read as NUL instead of passing as data (IGNPAR and PARMRK stay off).
  if ((t.c_cflag & PARENB) != 0) {
    t.c_iflag |= INPCK;
  } else {
    t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
  }

  tcflag_t size = 0;
  switch (s.word_length) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: size = t.c_cflag & CSIZE; break;
  }
  t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;

  if (s.stop_bits == 0) {
    t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
  } else if (s.stop_bits == 1 || s.stop_bits == 2) {
    t.c_cflag |= CSTOPB;
  }

  if (s.xon_xoff != 0) {
    t.c_iflag |= IXON | IXOFF;
  } else {
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
  }
  return result;
}

}  // namespace kelvt
