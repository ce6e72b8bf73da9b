#pragma once
// Opens the right port for a device path: `rfc2217://HOST:PORT` and
// `tcp://HOST:PORT` reach a serial device server, anything else is a
// terminal device. Every place that opens a device goes through here, and
// asks here what the user needs to know when it failed or is slow.

#include <memory>
#include <string>

#include "serial/rs232.h"

namespace kelvt {

std::unique_ptr<RS232> OpenSerialPort(const std::string& path, int port_number, long baud,
                                      int parity, int wordLength, int stopBits, int dtr, int rts,
                                      int xonXoff);

// The line every operation starts on: `baud`, even parity, 8 data bits,
// two stop bits, DTR and RTS low, no flow control.
std::unique_ptr<RS232> OpenControllerPort(const std::string& path, int port_number, long baud);

// The system's reason for the last failure of a port this factory made
// (empty for any other port), and its error number (0 when none).
std::string PortSystemReason(const RS232& port);
int PortSystemErrno(const RS232& port);

// The round trip measured when a network port connected (ms), else -1.
double PortRoundTripMs(const RS232& port);

// A round trip longer than this leaves too little of the shortest reply
// window (the 200 ms wake-up) for the controller's answer to arrive.
inline constexpr double kMaxRoundTripMs = 150;

// For a network port whose round trip is too long for the protocol's
// windows, what to say instead of "the controller does not answer";
// otherwise empty.
std::string RoundTripAdvice(const RS232& port);

}  // namespace kelvt
