#include "serial/port_settings.h"

#include <cctype>

namespace kelvt {

void PortSettings::Update(long baudRate, int parityChar, int wordLength, int stopBits,
                          int dtrLine, int rtsLine, int xonXoff, int /*rtsCts*/,
                          int /*dtrDsr*/) {
  if (baudRate != -1) baud = static_cast<int32_t>(baudRate);
  if (parityChar != -1) {
    // Only a character value can be upper-cased; anything else is kept as given.
    parity = (parityChar >= 0 && parityChar <= 255)
                 ? std::toupper(static_cast<unsigned char>(parityChar))
                 : parityChar;
  }
  if (wordLength != -1) word_length = wordLength;
  if (stopBits != -1) stop_bits = stopBits;
  if (dtrLine != -1) dtr = dtrLine;
  if (rtsLine != -1) rts = rtsLine;
  if (xonXoff != -1) xon_xoff = xonXoff;
}

}  // namespace kelvt
