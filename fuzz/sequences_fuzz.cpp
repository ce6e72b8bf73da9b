// Whole controller-side sequences over a scripted port whose controller is
// partly the fuzzer: preparing alignment, scanning and restoring; a trial
// run of a fuzzed parameter set, measuring and restoring; stamping a part
// number. Every write may be answered by a well-behaved simulated controller
// (whole or cut short) or by the fuzzer's bytes, so the sequences get deep
// and still meet garbage, silence and a vanishing device anywhere.
//
// What must hold whatever comes back:
//   - no command runs longer than its protocol bound (virtual clock);
//   - a sequence that did not read the controller's set sends no set;
//   - the set sent for alignment or a trial differs from the one read only
//     where it must;
//   - the set put back is the one the controller held before the sequence,
//     and a stamp sends that set with only the part number and date code
//     changed (whenever the tool heard of the set only from the controller:
//     a reply the fuzzer forges whole cannot be told apart from its own);
//   - a stamp sends the part number and date code it was given, and a bad
//     part number or date code sends nothing at all.
//
// Input: 4 bytes start tick, a sequence byte, a board byte, 81 bytes of a
// parameter set (trial) or 10 of part number and date code (stamp), a scan
// count byte, then per write one action byte:
//   below 0x10 silence; 0x10..0x7F the simulated controller answers;
//   0x80..0x8F it answers cut to the next byte's length; 0xFF fuzzed bytes,
//   then the device vanishes; otherwise fuzzed bytes (a length byte, the
//   bytes, a delay byte in 4 ms steps).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "ops/alignment_steps.h"
#include "ops/trial_run_steps.h"
#include "psf/part_numbers.h"
#include "support/counting_front_end.h"
#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "psf/psf_record.h"
#include "psf/trial_run.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace {

using kelvt::fuzz::Script;

using kelvt::kPsfFrameSize;
using kelvt::kPsfSize;
using kelvt::PsfImage;
using kelvt::test::ScriptedController;
using kelvt::test::ScriptedPort;

// Longest a single link command may take: three wake-up rounds and the
// longest window, with a margin for replies that trickle in late.
constexpr uint32_t kMaxCommandMs = 20000;

// The PSF frames written so far (ESC, 81 bytes, CR), in order.
std::vector<std::string> PsfFramesSent(const ScriptedPort& port) {
  std::vector<std::string> frames;
  size_t offset = 0;
  for (const ScriptedPort::Event& e : port.Events()) {
    if (e.kind != ScriptedPort::EventKind::kWrite || e.moved <= 0) continue;
    if (e.moved == kPsfFrameSize) frames.push_back(port.Written().substr(offset, kPsfFrameSize));
    offset += static_cast<size_t>(e.moved);
  }
  return frames;
}

// Bytes 1..75 of the frame's image (the letter and check sum are the link's).
bool CarriesSet(const std::string& frame, const PsfImage& image, std::initializer_list<int> except) {
  if (frame.size() != static_cast<size_t>(kPsfFrameSize)) return false;
  for (int i = 1; i < 76; ++i) {
    bool skip = false;
    for (int e : except) skip = skip || e == i;
    if (!skip && frame[static_cast<size_t>(1 + i)] != image[static_cast<size_t>(i)]) return false;
  }
  return true;
}

// Bytes 1..75 of the frame's image against the set the controller held.
bool CarriesHeld(const std::string& frame, const char* held, int except_from = 76,
                 int except_to = 76) {
  if (frame.size() != static_cast<size_t>(kPsfFrameSize)) return false;
  for (int i = 1; i < 76; ++i) {
    if (i >= except_from && i < except_to) continue;
    if (frame[static_cast<size_t>(1 + i)] != held[i]) return false;
  }
  return true;
}

// What the controller held when the sequence began, and whether the tool
// may have taken a forged reply for its set.
struct Held {
  char psf[kPsfSize];
  bool forged = false;
  bool psf_sent = false;
};

class Timed {
 public:
  explicit Timed(kelvt::VirtualTickSource& clock, int commands = 1)
      : clock_(clock), start_(clock.Now()), limit_(kMaxCommandMs * static_cast<uint32_t>(commands)) {}
  ~Timed() { Check(clock_.Now() - start_ <= limit_); }

 private:
  kelvt::VirtualTickSource& clock_;
  uint32_t start_;
  uint32_t limit_;
};

void Boards(ScriptedController& controller, uint8_t layout) {
  // Low nibble: boards per bar (0..15, more than the record keeps); bit 4:
  // one faulty receiver; bit 5: sixteen channels instead of eight.
  std::vector<kelvt::test::DiagBoard> boards;
  const int per_bar = layout & 0x0F;
  const char channels = (layout & 0x20) ? 'G' : '8';
  for (int i = 0; i < per_bar; ++i) boards.push_back({'E', static_cast<char>('1' + i), channels, '0'});
  for (int i = 0; i < per_bar; ++i) {
    const char error = (layout & 0x10) && i == 0 ? '4' : '0';
    boards.push_back({'R', static_cast<char>('1' + i), channels, error});
  }
  controller.diagnostics = ScriptedController::DiagnosticsReply('A', boards);
  controller.scan_payload = ScriptedController::BeamPayload(per_bar * (channels == 'G' ? 16 : 8),
                                                            {0, 3, 4});
}

void RunAlignment(kelvt::ControllerLink& link, ScriptedPort& port, Script& script,
                  kelvt::VirtualTickSource& clock, const Held& held) {
  using namespace kelvt;
  PsfImage saved, working;
  AlignmentSetup setup;
  AlignmentStatus status;
  {
    // Diagnostics, PSF read, alignment set, and the read-back after an unconfirmed send.
    Timed t(clock, 5);
    test::CountingFrontEnd front;
    SavedSetGuard guard(link, front, nullptr, {});
    status = PrepareAlignment(link, guard, working, setup);
    saved = guard.Own();
    guard.Release();  // this target puts the set back itself, below
  }
  const std::vector<std::string> sent = PsfFramesSent(port);
  const bool unconfirmed = status == AlignmentStatus::OutputPsfUnconfirmed;
  if (status != AlignmentStatus::Ready && status != AlignmentStatus::OutputPsfFailed &&
      status != AlignmentStatus::OutputPsfNoAnswer &&
      !unconfirmed) {
    Check(sent.empty());
    Check(setup.channel_count == 0);
    return;
  }
  // The alignment set is the saved one with five codes changed (none went
  // out when no try found the controller).
  Check(sent.size() <= 3);
  Check(status != AlignmentStatus::Ready || !sent.empty());
  // Only a set that went out can leave the controller in doubt.
  Check(!unconfirmed || (!sent.empty() && link.PsfFrameSent()));
  for (const std::string& frame : sent) {
    Check(CarriesSet(frame, saved, {2, 3, 4, 6, 64}));
    // Frame byte 1 + i carries image byte i.
    Check(frame[3] == 'a' && frame[4] == 'I' && frame[5] == 'K' && frame[7] == 'c' &&
          frame[65] == 'c');
  }
  if (status != AlignmentStatus::Ready) return;
  Check(setup.channel_count == setup.diagnostics.total_channels / 2);
  Check(setup.channel_count >= 0);

  BeamBitmapScan scan(setup.channel_count);
  const int scans = script.Byte() % 6;
  for (int i = 0; i < scans; ++i) {
    Timed t(clock);
    if (!link.Scan(scan)) break;
    Check(scan.statistics.broken_count + scan.statistics.made_count == setup.channel_count);
  }
  // The restore sends back the set the controller held.
  const size_t before = PsfFramesSent(port).size();
  {
    Timed t(clock);
    (void)link.OutputPsf(saved);
  }
  const std::vector<std::string> after = PsfFramesSent(port);
  for (size_t i = before; i < after.size(); ++i) Check(held.forged || CarriesHeld(after[i], held.psf));
}

void RunTrial(kelvt::ControllerLink& link, ScriptedPort& port, Script& script,
              kelvt::VirtualTickSource& clock, const Held& held) {
  using namespace kelvt;
  char image[kPsfSize];
  std::memset(image, 0, sizeof image);
  script.Take(image, sizeof image);
  PsfRecord record;
  (void)record.Decode(image);
  const PsfImage trial = BuildTrialImage(record);
  Check(trial[6] == 'c' && trial[64] == 'c');

  PsfImage saved;
  TrialRunStatus status;
  {
    Timed t(clock, 3);
    test::CountingFrontEnd front;
    SavedSetGuard guard(link, front, nullptr, {});
    status = StartTrialRun(link, record, guard);
    saved = guard.Own();
    guard.Release();
  }
  const std::vector<std::string> sent = PsfFramesSent(port);
  if (status == TrialRunStatus::kSavedPsfNotRead || status == TrialRunStatus::kNotJournaled) {
    Check(sent.empty());
    return;
  }
  Check(sent.size() <= 3);
  Check(status != TrialRunStatus::kStarted || !sent.empty());
  Check(status != TrialRunStatus::kTrialPsfUnconfirmed || !sent.empty());
  for (const std::string& frame : sent) Check(CarriesSet(frame, trial, {}));
  if (status != TrialRunStatus::kStarted) return;
  if (!port.Vanished()) Check(link.BaudIndex() == ValidBaudIndex(record.baud_index));

  MeasurementScan scan(TrialMeasurementMode(record.meas1_mode, record.meas2_mode));
  const int scans = script.Byte() % 6;
  for (int i = 0; i < scans; ++i) {
    Timed t(clock);
    if (!link.Scan(scan)) break;
  }
  const size_t before = sent.size();
  {
    Timed t(clock);
    (void)link.OutputPsf(saved);
  }
  const std::vector<std::string> after = PsfFramesSent(port);
  for (size_t i = before; i < after.size(); ++i) Check(held.forged || CarriesHeld(after[i], held.psf));
}

void RunStamp(kelvt::ControllerLink& link, ScriptedPort& port, Script& script,
              kelvt::VirtualTickSource& clock, const Held& held) {
  using namespace kelvt;
  char part[7] = {}, date[5] = {};
  script.Take(part, 6);
  script.Take(date, 4);
  PsfImage image;
  StampStatus status;
  {
    Timed t(clock, 2);
    test::CountingFrontEnd front;
    SavedSetGuard guard(link, front, nullptr, {});
    status = StampPartNumber(link, guard, part, date, image);
    guard.Release();
  }
  if (status == StampStatus::BadPartNumber || status == StampStatus::BadDateCode) {
    Check(strnlen(part, 7) != 6 || !IsValidPartNumber(std::string(part)) || strnlen(date, 5) != 4);
    Check(port.Written().empty());
    return;
  }
  const std::vector<std::string> sent = PsfFramesSent(port);
  if (status == StampStatus::InputPsfFailed || status == StampStatus::NotJournaled) {
    Check(sent.empty());
    return;
  }
  Check(sent.size() <= 3);
  Check(status != StampStatus::Stamped || !sent.empty());
  for (const std::string& frame : sent) {
    Check(frame.compare(67, 6, part, 6) == 0 && frame.compare(73, 4, date, 4) == 0);
    Check(CarriesSet(frame, image, {}));
    Check(held.forged || CarriesHeld(frame, held.psf, 66, 76));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvt;
  Script script(data, size);
  uint32_t start = 0;
  for (int i = 0; i < 4; ++i) start |= static_cast<uint32_t>(script.Byte()) << (8 * i);
  VirtualTickSource clock(start);
  ScopedTickSource scoped(&clock);

  const uint8_t sequence = script.Byte();
  ScriptedController controller;
  Boards(controller, script.Byte());
  auto* port = new ScriptedPort;
  ControllerLink link(port);
  Held held;
  std::memcpy(held.psf, controller.psf, kPsfSize);
  port->SetResponder([&](ScriptedPort& p, const char* d, int n, long baud) {
    held.psf_sent = held.psf_sent || n == kPsfFrameSize;
    const uint8_t action = script.Byte();
    if (action < 0x10) return;
    if (action < 0x80) {
      controller.truncate_replies = -1;
      controller.OnWrite(p, d, n, baud);
      return;
    }
    if (action < 0x90) {
      controller.truncate_replies = script.Byte();
      controller.OnWrite(p, d, n, baud);
      return;
    }
    char reply[256];
    const size_t len = script.Take(reply, script.Byte());
    // Until the first set goes out, any forged bytes may be what the tool takes for it.
    held.forged = held.forged || (!held.psf_sent && len > 0);
    p.QueueBytes(reply, static_cast<int>(len), 4u * script.Byte());
    if (action == 0xFF) p.Vanish();
  });

  switch (sequence % 3) {
    case 0:
      RunAlignment(link, *port, script, clock, held);
      break;
    case 1:
      RunTrial(link, *port, script, clock, held);
      break;
    default:
      RunStamp(link, *port, script, clock, held);
      break;
  }
  Check(link.BaudIndex() >= 0 && link.BaudIndex() <= 2);
  return 0;
}
