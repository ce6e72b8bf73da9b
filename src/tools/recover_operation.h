#pragma once
// Puts a set left unfinished in the journal back on its controller: the
// start-up question's Yes.

#include "gui/operation.h"
#include "ops/set_journal.h"

namespace kelvt {

class RecoverOperation : public Operation {
 public:
  RecoverOperation(QWidget* parent, int port_number, int baud_rate, JournalEntry entry);
  // Sends the entry's set through the core recover path, marks it finished
  // and says what happened. 1 when the set is back, else 0.
  int Execute() override;

 private:
  JournalEntry entry_;
};

// The port (0-based) whose device is the entry's: its own COM<n> when that
// still names the device, else the first port mapped to it; -1 for none.
int PortOfEntry(const JournalEntry& entry, const DeviceOverrides& overrides);

// "COM3 (/dev/ttyUSB0)", or the device alone when the entry has no port.
std::string EntryPlace(const JournalEntry& entry);

}  // namespace kelvt
