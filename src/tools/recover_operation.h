#pragma once
// Puts sets left unfinished in the journal back on their controller: the
// start-up question's choice. The controller is asked who it is first; when
// it is another one, the user is told so and asked (default No) before
// anything is sent.

#include <vector>

#include "gui/operation.h"
#include "ops/set_journal.h"

namespace kelvt {

class RecoverOperation : public Operation {
 public:
  // `entries`: of one device, newest first.
  RecoverOperation(QWidget* parent, int port_number, int baud_rate,
                   std::vector<JournalEntry> entries);
  // Sends the entries' sets through the core recover path, marks them put
  // back and says what happened. 1 when the sets are back, else 0.
  int Execute() override;

 private:
  std::vector<JournalEntry> entries_;
};

// The port (0-based) that leads to the device at `path` (by device identity):
// `preferred` ("COM3") when it does, else the first; -1 for none.
int PortOfDevice(const std::string& path, const std::string& preferred,
                 const DeviceOverrides& overrides);

// "COM3 (/dev/ttyUSB0)", or the device alone when the entry has no port.
std::string EntryPlace(const JournalEntry& entry);

}  // namespace kelvt
