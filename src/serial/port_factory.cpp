#include "serial/port_factory.h"

#include <cstdio>

#include "serial/network_serial_port.h"
#include "serial/posix_serial_port.h"

namespace kelvt {

std::unique_ptr<RS232> OpenSerialPort(const std::string& path, int port_number, long baud,
                                      int parity, int wordLength, int stopBits, int dtr, int rts,
                                      int xonXoff) {
  if (IsNetworkPath(path)) {
    return std::make_unique<NetworkSerialPort>(path, port_number, baud, parity, wordLength,
                                               stopBits, dtr, rts, xonXoff);
  }
  return std::make_unique<PosixSerialPort>(path, port_number, baud, parity, wordLength, stopBits,
                                           dtr, rts, xonXoff, 0, 0);
}

std::unique_ptr<RS232> OpenControllerPort(const std::string& path, int port_number, long baud) {
  return OpenSerialPort(path, port_number, baud, 'E', 8, 1, 0, 0, 0);
}

std::string PortSystemReason(const RS232& port) {
  if (const auto* p = dynamic_cast<const PosixSerialPort*>(&port)) return p->SystemReason();
  if (const auto* n = dynamic_cast<const NetworkSerialPort*>(&port)) return n->SystemReason();
  return {};
}

int PortSystemErrno(const RS232& port) {
  if (const auto* p = dynamic_cast<const PosixSerialPort*>(&port)) return p->SystemErrno();
  if (const auto* n = dynamic_cast<const NetworkSerialPort*>(&port)) return n->SystemErrno();
  return 0;
}

double PortRoundTripMs(const RS232& port) {
  const auto* n = dynamic_cast<const NetworkSerialPort*>(&port);
  return n != nullptr ? n->RoundTripMs() : -1;
}

std::string RoundTripAdvice(const RS232& port) {
  const auto* n = dynamic_cast<const NetworkSerialPort*>(&port);
  if (n == nullptr || n->RoundTripMs() <= kMaxRoundTripMs) return {};
  char text[512];
  std::snprintf(text, sizeof text,
                "The network round trip to %s takes %.0f ms: the controller's wake-up reply "
                "must arrive within 200 ms of the request, so this link is too slow to reach "
                "it. Use a server nearer to the controller (e.g. run the tool on a machine at "
                "the site and reach that over SSH).",
                n->DevicePath().c_str(), n->RoundTripMs());
  return text;
}

}  // namespace kelvt
