#pragma once
// The line settings of a serial port: seven integers in a fixed order.

#include <cstdint>

namespace kelvt {

struct PortSettings {
  int32_t baud = -1;       // bits per second; -1 when the device's form is not understood
  int parity = 'N';        // 'N', 'O', 'E', 'M', 'S'; '?' when unknown
  int word_length = 8;     // 5..8
  int stop_bits = 0;       // applied: 0 one, 1 and 2 two; read back: 0 one, 1 one and a half, 2 two, -1 unknown
  int dtr = -1;            // 0 low, 1 high, -1 not determined
  int rts = -1;            // as dtr
  int xon_xoff = 0;        // 0 off, 1 software flow control

  // Overwrites each field whose argument is not -1; parity is stored
  // upper-cased. rtsCts and dtrDsr are accepted and ignored.
  void Update(long baud, int parity, int wordLength, int stopBits, int dtr, int rts,
              int xonXoff, int rtsCts, int dtrDsr);
};

}  // namespace kelvt
