#pragma once
// At start-up: the sets the journal still holds unfinished (the tool was
// killed or the machine lost power while a controller ran another set) are
// offered in one window, for the devices present now.

class QWidget;

namespace kelvt {

class SerialDeviceSource;

// Lists the unfinished entries of the installed journal whose device is
// present now (`devices`: the serial devices found; null for the system's)
// in one window; the chosen ones go back on the port that leads to their
// device, each controller asked who it is first. Entries of absent devices
// wait without a word. Nothing without a journal.
void OfferUnfinishedSets(QWidget* parent, int baud_rate, SerialDeviceSource* devices = nullptr);

}  // namespace kelvt
