// The link allocates its buffers once: no command, scan or decode allocates.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/tick.h"
#include "psf/psf_image.h"
#include "support/scripted_controller.h"
#include "support/scripted_port.h"

namespace {
std::atomic<bool> g_counting{false};
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  if (g_counting.load(std::memory_order_relaxed)) g_allocations.fetch_add(1);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace kelvt {
namespace {

class Counting {
 public:
  Counting() {
    g_allocations = 0;
    g_counting = true;
  }
  ~Counting() { g_counting = false; }
  long Count() const { return g_allocations.load(); }
};

TEST(LinkAllocation, CommandsScansAndDecodesAllocateNothing) {
  VirtualTickSource clock(0);
  ScopedTickSource scoped(&clock);
  auto* port = new test::ScriptedPort;
  ControllerLink link(port);
  test::ScriptedController controller(19200, 'A');
  controller.Attach(*port);
  controller.scan_payload = test::ScriptedController::BeamPayload(32, {3, 4, 30});
  PsfImage image;
  DiagnosticRecord diag;
  BeamBitmapScan beams(32), last(32);
  MeasurementScan values(2), previous(2);
  char frame[32] = "\x1b" "AKT0000000000000000\n";
  char escape[32] = "\x1b" "AKN0100250001003000\n";
  SyncReply reply;

  long allocations;
  int ok = 0;
  {
    Counting counting;
    ok += link.Synchronize(reply);
    ok += link.InputPsf(image);
    ok += link.OutputPsf(image);
    ok += link.InputDiagnostics(diag);
    ok += link.ExchangeFrame21(frame);
    ok += link.SendEscapeCommand(escape) == 0;
    for (int i = 0; i < 50; ++i) {
      ok += link.Scan(beams);
      if (!last.Equals(beams)) last.Assign(beams);
    }
    controller.scan_payload = std::string("\x01\x02\x03\x04", 4);
    for (int i = 0; i < 50; ++i) {
      ok += link.Scan(values);
      if (values.Differs(previous)) previous.CopyValues(values);
    }
    port->SetResponder({});  // the controller is gone: three failed searches
    ok += link.OutputPsf(image);
    allocations = counting.Count();
  }
  EXPECT_EQ(ok, 106);
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(beams.statistics.broken_count, 3);
  EXPECT_EQ(previous.value2, 0x0304);
}

TEST(LinkAllocation, TheCounterSeesAllocations) {
  long allocations;
  {
    Counting counting;
    auto* p = new test::ScriptedPort;
    delete p;
    allocations = counting.Count();
  }
  EXPECT_GT(allocations, 0);
}

}  // namespace
}  // namespace kelvt
