// The diagnostics and scan commands of the controller link.

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "link/scan_record.h"
#include "platform/tick.h"

namespace kelvt {
namespace {

constexpr char kDiagnosticsRequest = 'H';
constexpr char kScanLetter = 'S';

constexpr unsigned kDiagnosticsSettleMs = 100;
constexpr long kDiagnosticsWindowMs = 1000;
constexpr int kDiagnosticsMin = 15;
constexpr int kDiagnosticsMax = 111;

constexpr unsigned kScanLeadMs = 50;
constexpr unsigned kScanSettleMs = 100;
constexpr long kScanWindowMs = 1000;
constexpr int kScanTries = 3;

}  // namespace

void ControllerLink::BuildDiagnosticsRequest(char id) { BuildShortRequest(id, kDiagnosticsRequest); }

int ControllerLink::InputDiagnostics(DiagnosticRecord& diag) {
  CommandScope scope(*this);
  if (scope.Refused() || !port) return 0;
  SyncReply sync;
  if (!Wake(sync)) return 0;
  BuildDiagnosticsRequest(sync.controller_id);
  ZeroFill(rx_buffer.get(), kRxSize);
  if (WriteTx(4) != 0) return 0;
  BusyWait(kDiagnosticsSettleMs);
  // The reply is shorter than this as a rule: the read ends by time-out.
  ReadRx(kDiagnosticsMax, kDiagnosticsWindowMs);
  const uint32_t n = port->ByteCount();
  if (n < static_cast<uint32_t>(kDiagnosticsMin) || n > static_cast<uint32_t>(kDiagnosticsMax)) {
    return 0;
  }
  return diag.Decode(rx_buffer.get(), static_cast<int>(n));
}

int ControllerLink::Scan(ScanRecord& scan) {
  CommandScope scope(*this);
  if (scope.Refused()) return 0;
  scan_reply_complete = false;
  if (!port) return 0;
  const int length = scan.ExpectedLength();
  // A reply that cannot fit the receive buffer (or has no frame) is never asked for.
  if (length < 2 || length > kRxSize) return 0;
  char* tx = tx_buffer.get();
  tx[0] = kWake;
  tx[1] = controller_id;
  tx[2] = kScanLetter;
  ZeroFill(rx_buffer.get(), kRxSize);
  BusyWait(kScanLeadMs);
  for (int attempt = 0; attempt < kScanTries; ++attempt) {
    if (WriteTx(3) == 0) {
      BusyWait(kScanSettleMs);
      if (ReadRx(length, kScanWindowMs) == 0) {
        // A complete reply is decoded once; a rejected one is not asked for again.
        scan_reply_complete = true;
        return scan.Decode(rx_buffer.get(), static_cast<int>(port->ByteCount()));
      }
    }
    port->ClearRxBuffer();
    port->ClearTxBuffer();
  }
  return 0;
}

}  // namespace kelvt
