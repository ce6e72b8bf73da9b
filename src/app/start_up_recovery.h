#pragma once
// At start-up: a set the journal still holds unfinished (the tool was killed
// or the machine lost power while a controller ran another set) is offered
// for sending back, one question per entry.

class QWidget;

namespace kelvt {

// Asks about each unfinished entry of the installed journal, newest first
// (so that Yes to all leaves the oldest, the controller's own, in place);
// Yes sends it back on its port. Nothing without a journal.
void OfferUnfinishedSets(QWidget* parent, int baud_rate);

}  // namespace kelvt
