// The null/span frames from arbitrary bytes: decoding a reply, building a
// frame from any values, the acknowledgement check, the field filters and
// scroll steps, and the read-then-update exchange over a scripted port whose
// controller answers with the fuzzer's bytes.
//
// Input: 21 bytes of a reply frame, 4 x 4 bytes of values (little end
// first), a function letter, a selector byte, 4 bytes of field text, then
// the replies for the exchange (per write: a length byte, that many bytes,
// a delay byte in 8 ms steps).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "link/controller_link.h"
#include "link/null_span_frame.h"
#include "platform/tick.h"
#include "support/scripted_port.h"

namespace {

using kelvt::fuzz::Script;

// The largest value sixteen bits of garbage can decode to: 15 per digit.
constexpr int kMaxDecoded = 15 * 1000 + 15 * 100 + 15 * 10 + 15;

int Clamp(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }

bool AllDigits(std::string_view s) {
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void CheckDecoded(const kelvt::NullSpanValues& v) {
  for (int i = 0; i < 4; ++i) Check(v[i] >= 0 && v[i] <= kMaxDecoded);
}

void CheckFields(std::string_view text) {
  const std::string filtered = kelvt::FilterNullSpanText(text);
  Check(filtered.size() <= static_cast<size_t>(kelvt::kNullSpanDigits) && AllDigits(filtered));
  const int value = kelvt::NullSpanFieldValue(text);
  Check(value >= 0 && value <= 9999);
  const struct {
    int min, max;
  } bars[] = {{kelvt::kNullMin, kelvt::kNullMax}, {kelvt::kSpanMin, kelvt::kSpanMax}};
  for (const auto& bar : bars) {
    const kelvt::NullSpanLeave leave = kelvt::ClampNullSpanField(text, bar.min, bar.max);
    Check(leave.value >= bar.min && leave.value <= bar.max);
    Check(leave.rewrite == (value > bar.max || value <= bar.min));
    if (!leave.rewrite) Check(leave.value == value);
  }
}

void CheckScroll(uint8_t selector, int32_t current, int32_t thumb) {
  const bool span = selector & 1;
  const int min = span ? kelvt::kSpanMin : kelvt::kNullMin;
  const int max = span ? kelvt::kSpanMax : kelvt::kNullMax;
  // The bar keeps its position inside its range; the thumb may report anything.
  current = Clamp(current, min, max);
  const auto action = static_cast<kelvt::ScrollAction>((selector >> 1) % 5);
  const kelvt::ScrollOutcome out = kelvt::ApplyScroll(action, current, thumb, min, max);
  Check(out.position >= min && out.position <= max);
  if (!out.move_bar) Check(out.position == current && !out.write_text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvt;
  Script in(data, size);

  char reply[kNullSpanBufferSize] = {};
  in.Take(reply, kNullSpanFrameSize);
  const NullSpanValues decoded = DecodeNullSpanValues(reply);
  CheckDecoded(decoded);
  // Only a whole 'U' frame from the letter asked acknowledges anything.
  Check(IsNullSpanUpdateAcknowledged(reply, reply[1], decoded) ==
        IsNullSpanReply(reply, reply[1], kNullSpanUpdated));
  if (IsNullSpanReply(reply, reply[1], kNullSpanUpdated)) {
    Check(AllDigits(std::string_view(reply + 4, 16)));
    Check(!IsNullSpanReply(reply, static_cast<char>(reply[1] + 1), kNullSpanUpdated));
  }

  NullSpanValues values;
  for (int i = 0; i < 4; ++i) values[i] = in.Int();
  const char function = static_cast<char>(in.Byte());
  const uint8_t selector = in.Byte();

  // Any values fit their four digits, and the frame says exactly what it carries.
  char frame[kNullSpanBufferSize];
  std::memset(frame, 0x55, sizeof frame);
  BuildNullSpanFrame(frame, reply[1], function, values);
  Check(frame[0] == 0x1B && frame[1] == reply[1] && frame[2] == 'K' && frame[3] == function);
  Check(frame[20] == 0x0A && frame[21] == '\0');
  Check(AllDigits(std::string_view(frame + 4, 16)));
  NullSpanValues clamped;
  for (int i = 0; i < 4; ++i) clamped[i] = Clamp(values[i], 0, 9999);
  Check(DecodeNullSpanValues(frame) == clamped);
  frame[3] = kNullSpanUpdated;
  Check(IsNullSpanUpdateAcknowledged(frame, reply[1], clamped));
  Check(IsNullSpanUpdateAcknowledged(frame, reply[1], values) == (values == clamped));

  char text[4];
  const size_t text_len = in.Take(text, sizeof text);
  CheckFields(std::string_view(text, text_len));
  CheckScroll(selector, values.null1, values.span1);

  // The dialog's exchange: read the four values, then send an update built
  // from them with the reply's letter, on a virtual clock.
  VirtualTickSource clock(1000);
  ScopedTickSource scoped(&clock);
  auto* port = new test::ScriptedPort;
  ControllerLink link(port);
  port->SetResponder([&in](test::ScriptedPort& p, const char*, int, long) {
    char bytes[64];
    const size_t n = in.Take(bytes, in.Byte() % sizeof bytes);
    p.QueueBytes(bytes, static_cast<int>(n), 8u * in.Byte());
  });
  char request[kNullSpanBufferSize];
  const uint32_t t0 = clock.Now();
  if (ReadNullSpanFrame(link, request) == 0) {
    Check(clock.Now() - t0 <= 4000);  // three wake windows, a settle and a read window at most
    return 0;
  }
  Check(request[kNullSpanFrameSize] == '\0');  // the reply never runs past the frame
  // A read that counts is a whole frame of digits from the controller that woke.
  Check(IsNullSpanReply(request, link.ControllerId(), kNullSpanRead));
  const NullSpanValues read = DecodeNullSpanValues(request);
  CheckDecoded(read);
  for (int i = 0; i < 4; ++i) Check(read[i] <= 9999);

  NullSpanValues update;
  for (int i = 0; i < 4; ++i) update[i] = Clamp(read[i], 0, 9999);
  char command[kNullSpanBufferSize];
  BuildNullSpanFrame(command, request[1], selector & 2 ? kNullSpanSpanUpdate : kNullSpanFinish,
                     update);
  const uint32_t t1 = clock.Now();
  const int result = link.SendEscapeCommand(command);
  Check(clock.Now() - t1 <= 3000);
  Check(command[kNullSpanFrameSize] == '\0');
  if (request[1] == '\0') {
    // A letter of NUL cuts the text short: refused, nothing sent.
    Check(result == kEscapeRefused);
  } else if (result == 0) {
    CheckDecoded(DecodeNullSpanValues(command));
    (void)IsNullSpanUpdateAcknowledged(command, request[1], update);
  }
  return 0;
}
