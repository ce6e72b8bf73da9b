// The controller link fed arbitrary replies by a scripted port, on a virtual
// clock: every command ends, in bounded virtual time, within its buffers.
//
// The input is read from the front as a script:
//   4 bytes  start tick (little end first), so the clock may wrap mid-command
//   then, repeated: one opcode byte and its arguments (see RunOne)
// and, interleaved wherever the link writes, one byte that decides the
// controller's answer to that write (below 0x20: silence; otherwise a length
// byte, that many reply bytes, and a delay byte in 4 ms steps).

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fuzz_input.h"
#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "support/scripted_port.h"

namespace {

using kelvt::fuzz::Script;

// No command may take longer than three full searches plus its longest window.
constexpr uint32_t kMaxCommandMs = 20000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace kelvt;
  Script script(data, size);
  uint32_t start = 0;
  for (int i = 0; i < 4; ++i) start |= static_cast<uint32_t>(script.Byte()) << (8 * i);
  VirtualTickSource clock(start);
  ScopedTickSource scoped(&clock);

  auto* port = new test::ScriptedPort;
  ControllerLink link(port);
  port->SetResponder([&script](test::ScriptedPort& p, const char*, int, long) {
    const uint8_t action = script.Byte();
    if (action < 0x20) return;
    char reply[256];
    const size_t n = script.Take(reply, script.Byte());
    const uint32_t delay = 4u * script.Byte();
    p.QueueBytes(reply, static_cast<int>(n), delay);
    if (action == 0xFF) p.Vanish();  // the adapter is pulled after this answer
  });

  PsfImage image;
  DiagnosticRecord diag;
  for (int op = 0; op < 12 && !script.Done(); ++op) {
    const uint32_t t0 = clock.Now();
    switch (script.Byte() % 10) {
      case 0: {
        SyncReply reply;
        (void)link.Synchronize(reply);
        break;
      }
      case 1:
        (void)link.SelectBaudIndex(static_cast<int8_t>(script.Byte()) % 5);
        break;
      case 2:
        (void)link.SendWakeByte();
        break;
      case 3:
        (void)link.OutputPsf(image);
        break;
      case 4:
        (void)link.InputPsf(image);
        break;
      case 5: {
        char frame[21];
        std::memset(frame, 0, sizeof frame);
        script.Take(frame, sizeof frame);
        (void)link.ExchangeFrame21(frame);
        break;
      }
      case 6: {
        char text[128];
        std::memset(text, 0, sizeof text);
        script.Take(text, script.Byte() % 120);
        const int r = link.SendEscapeCommand(text);
        Check(r <= 0);
        break;
      }
      case 7:
        (void)link.InputDiagnostics(diag);
        Check(diag.emitter_count <= kMaxBoards && diag.receiver_count <= kMaxBoards);
        break;
      case 8: {
        const int n = (script.Byte() | (script.Byte() << 8)) & 0x7FFF;
        BeamBitmapScan scan(n);
        if (link.Scan(scan)) Check(scan.statistics.broken_count + scan.statistics.made_count == n);
        break;
      }
      default: {
        MeasurementScan scan(script.Byte() % 4);
        (void)link.Scan(scan);
        break;
      }
    }
    Check(clock.Now() - t0 <= kMaxCommandMs);
    Check(link.BaudIndex() >= 0 && link.BaudIndex() <= 2);
  }
  return 0;
}
