#pragma once
// History's Put Back: an entry's set (or null/span values) back on its
// controller, on the port that leads to its device now. The controller is
// asked who it is first; when another one answers, the user is told so and
// asked (default No); what it holds is journaled before it is replaced.

#include "gui/operation.h"
#include "ops/set_journal.h"

namespace kelvt {

class SerialDeviceSource;

class PutBackOperation : public Operation {
 public:
  PutBackOperation(QWidget* parent, int port_number, int baud_rate, JournalEntry entry);
  // 1 when the set is back, else 0; says what happened.
  int Execute() override;

 private:
  JournalEntry entry_;
};

// Finds the port of the entry's device, asks whether to put the set back
// there, and runs the operation. `devices`: where devices are found
// (nullptr: the system's).
void RunPutBack(QWidget* parent, const JournalEntry& entry, SerialDeviceSource* devices = nullptr);

}  // namespace kelvt
