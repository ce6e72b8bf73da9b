// kelvt-lab-port: what the lab's guest asks of the port layer on a real
// driver.
//   kelvt-lab-port settings DEVICE      opens it as every command does (9600,
//       8E2) and prints what the driver kept, read back through a second
//       descriptor, with the line-error queries and the low-latency flag
//   kelvt-lab-port rate IN OUT RATE     copies a .PSF file with another rate
//   kelvt-lab-port hold DEVICE          keeps the device open until killed

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "psf/psf_file.h"
#include "psf/psf_record.h"
#include "serial/posix_serial_port.h"

namespace {

int Settings(const char* device) {
  kelvt::PosixSerialPort port(device, 0, 9600, 'E', 8, 1, 0, 0, 0, 0, 0);
  if (port.ErrorStatus() != 0) {
    std::printf("open=%d %s\n", port.ErrorStatus(), port.ErrorName(port.ErrorStatus()));
    return 1;
  }
  // The port holds the device; root opens it beside, for reading only.
  const int fd = open(device, O_RDONLY | O_NOCTTY | O_NONBLOCK);
  termios t{};
  if (fd < 0 || tcgetattr(fd, &t) != 0) {
    std::printf("readback=%s\n", std::strerror(errno));
    return 1;
  }
  serial_struct info{};
  const bool has_info = ioctl(fd, TIOCGSERIAL, &info) == 0;
  close(fd);
  const tcflag_t c = t.c_cflag;
  std::printf("speed=%d parenb=%d parodd=%d cs8=%d cstopb=%d clocal=%d crtscts=%d\n",
              cfgetospeed(&t) == B9600 ? 9600 : -1, (c & PARENB) != 0, (c & PARODD) != 0,
              (c & CSIZE) == CS8, (c & CSTOPB) != 0, (c & CLOCAL) != 0, (c & CRTSCTS) != 0);
  std::printf("icanon=%d echo=%d isig=%d opost=%d icrnl=%d ixon=%d vmin=%d vtime=%d\n",
              (t.c_lflag & ICANON) != 0, (t.c_lflag & ECHO) != 0, (t.c_lflag & ISIG) != 0,
              (t.c_oflag & OPOST) != 0, (t.c_iflag & ICRNL) != 0, (t.c_iflag & IXON) != 0,
              t.c_cc[VMIN], t.c_cc[VTIME]);
  std::printf("counters=%d parity=%d framing=%d overrun=%d break=%d rxoverflow=%d\n",
              port.HasLineCounters(), port.ParityError(1), port.FramingError(1),
              port.OverrunError(1), port.BreakDetected(1), port.RxOverflow(1));
  std::printf("serial_info=%d low_latency=%d\n", has_info,
              has_info && (info.flags & ASYNC_LOW_LATENCY) != 0);
  return 0;
}

int Rate(const char* in, const char* out, const char* rate) {
  kelvt::PsfRecord record;
  if (kelvt::ReadPsfFile(record, in) != 1) return 1;
  const std::string r = rate;
  record.baud_index = r == "9600" ? 0 : r == "19200" ? 1 : r == "38400" ? 2 : -1;
  if (record.baud_index < 0) return 2;
  return kelvt::WritePsfFile(record, out) == 1 ? 0 : 1;
}

int Hold(const char* device) {
  const int fd = open(device, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    std::perror(device);
    return 1;
  }
  std::printf("holding %s\n", device);
  std::fflush(stdout);
  pause();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "settings") == 0) return Settings(argv[2]);
  if (argc == 3 && std::strcmp(argv[1], "hold") == 0) return Hold(argv[2]);
  if (argc == 5 && std::strcmp(argv[1], "rate") == 0) return Rate(argv[2], argv[3], argv[4]);
  std::fprintf(stderr, "usage: kelvt-lab-port settings DEVICE | rate IN OUT RATE | hold DEVICE\n");
  return 2;
}
