// The Telnet/RFC 2217 reader fed whatever a server may send: option storms,
// subnegotiations cut short or never ended, IAC at every position, cut into
// reads of any size with a data buffer of any size. Checks that it always
// makes progress, never writes past its buffers, sees the same stream the
// same way however it is cut, hands on only bounded subnegotiations, that
// the option objects answer every command with at most one reply, and that
// escaped data reads back unchanged.
//
// Input: one byte of data-buffer size, one byte of read size, then the
// server's bytes.

#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_input.h"
#include "serial/telnet_protocol.h"

namespace {

using namespace kelvt::telnet;

struct Recorder : TelnetSink {
  std::string events;
  TelnetOption options[3] = {TelnetOption(kBinary, true, TelnetOption::State::kRequested),
                             TelnetOption(kBinary, false, TelnetOption::State::kInactive),
                             TelnetOption(kComPort, true, TelnetOption::State::kRefused)};
  ComPortSetting baud{kSetBaudRate};
  void OnOption(uint8_t command, uint8_t option) override {
    Check(command >= kWill && command <= kDont);
    events += 'o';
    events += static_cast<char>(command);
    events += static_cast<char>(option);
    for (TelnetOption& o : options) {
      if (o.Option() != option || !o.Handles(command)) continue;
      uint8_t reply[3];
      const int len = o.Process(command, reply);
      Check(len == 0 || (len == 3 && reply[0] == kIac && reply[2] == option));
    }
  }
  void OnSubnegotiation(const uint8_t* data, size_t size) override {
    Check(size <= FilterState::kMaxSub);
    events += 's';
    events.append(reinterpret_cast<const char*>(data), size);
    if (size >= 2 && data[0] == kComPort) baud.Answer(data + 2, size - 2);
  }
};

// The whole stream through the filter, `read` bytes at a time, into a data
// buffer of `cap` bytes.
std::string Run(const uint8_t* in, size_t n, size_t read, size_t cap, Recorder& sink) {
  FilterState state;
  std::string data;
  uint8_t out[256 + 8];
  const uint8_t guard = 0xA5;
  for (size_t at = 0; at < n;) {
    const size_t chunk = std::min(read, n - at);
    size_t used = 0;
    while (used < chunk) {
      out[cap] = guard;
      size_t got = 0;
      const size_t taken = FilterIac(state, in + at + used, chunk - used, out, cap, &got, sink);
      Check(taken <= chunk - used);
      Check(got <= cap);
      Check(out[cap] == guard);
      Check(taken > 0 || got > 0);  // progress on every call
      used += taken;
      data.append(reinterpret_cast<char*>(out), got);
    }
    at += chunk;
  }
  return data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kelvt::fuzz::Script script(data, size);
  const size_t cap = 1 + script.Byte();
  const size_t read = 1 + script.Byte() % 64;
  const uint8_t* stream = size > 2 ? data + 2 : data;
  const size_t n = size > 2 ? size - 2 : 0;

  Recorder whole;
  const std::string all = Run(stream, n, n == 0 ? 1 : n, 256, whole);
  Recorder cut;
  const std::string pieces = Run(stream, n, read, cap, cut);
  Check(all == pieces);
  Check(whole.events == cut.events);
  Check(all.size() <= n);

  // Data escaped for the wire reads back as it was, with no commands.
  uint8_t escaped[2 * 512];
  size_t len = 0;
  const size_t m = std::min<size_t>(n, 512);
  Check(EscapeIac(stream, m, escaped, sizeof escaped, &len) == m);
  Recorder none;
  const std::string back = Run(escaped, len, read, cap, none);
  Check(back == std::string(reinterpret_cast<const char*>(stream), m));
  Check(none.events.empty());

  // A request built from any value fits or is refused, never overflows.
  uint8_t request[16];
  const size_t r = ComPortRequest(kSetBaudRate, stream, std::min<size_t>(n, 8), request, sizeof request);
  Check(r == 0 || (r >= 6 && r <= sizeof request));
  return 0;
}
