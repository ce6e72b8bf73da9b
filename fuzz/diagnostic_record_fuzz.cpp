// Arbitrary bytes into the diagnostics decoder: it reads nothing at or past
// the count, never overfills its board lists, and keeps its texts terminated.

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "link/diagnostic_record.h"

namespace {
void Check(bool ok) {
  if (!ok) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kelvt::DiagnosticRecord;
  const int count = size > 4096 ? 4096 : static_cast<int>(size);
  DiagnosticRecord d;
  const int result = d.Decode(reinterpret_cast<const char*>(data), count);
  Check(result == 0 || result == 1);
  Check(d.emitter_count >= 0 && d.emitter_count <= kelvt::kMaxBoards);
  Check(d.receiver_count >= 0 && d.receiver_count <= kelvt::kMaxBoards);
  Check(d.total_channels >= 0 &&
        d.total_channels <= 16 * (d.emitter_count + d.receiver_count + d.dropped_boards));
  Check(std::memchr(d.part_number, 0, sizeof d.part_number) != nullptr);
  Check(std::memchr(d.date_code, 0, sizeof d.date_code) != nullptr);
  Check(d.SystemStateName() != nullptr);
  if (count >= 3 && data[0] == 0x1C && data[2] == 'I') {
    Check(d.system_state >= kelvt::kEmitterError && d.system_state <= kelvt::kOperational);
  }
  for (int k = 0; k < d.emitter_count; ++k) {
    Check(DiagnosticRecord::ErrorCodeName(d.emitter_boards[k].error_code) != nullptr);
    Check(DiagnosticRecord::ChannelCountText(d.emitter_boards[k]) != nullptr);
  }
  for (int k = 0; k < d.receiver_count; ++k) {
    Check(DiagnosticRecord::ErrorCodeName(d.receiver_boards[k].error_code) != nullptr);
  }
  // A second decode into a used record behaves the same.
  DiagnosticRecord again = d;
  Check(again.Decode(reinterpret_cast<const char*>(data), count) == result);
  return 0;
}
