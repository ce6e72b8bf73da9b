#pragma once
// The controller-side sequences of two service commands, kept apart from any
// window so that the desktop tool and the command line run the same steps:
// preparing the controller for alignment, and stamping a part number and
// date code into its parameter set. The controller's own set is kept by the
// caller's SavedSetGuard, which puts it back.

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "ops/saved_set_guard.h"
#include "psf/psf_image.h"

namespace kelvt {

enum class AlignmentStatus {
  Ready,              // the alignment set was accepted; the guard is armed
  DiagnosticsFailed,  // diagnostics not read
  NotOperational,     // the controller does not report itself operational
  InputPsfFailed,     // its parameter set could not be read or confirmed
  NotJournaled,       // its set could not be saved in the journal: nothing sent
  OutputPsfFailed,    // the alignment set went out and was refused; the controller kept its own
  OutputPsfNoAnswer,  // the alignment set never went out: the controller stopped answering
  OutputPsfUnconfirmed,  // not acknowledged, and the controller no longer answers with its
                         // own set (or not at all): the guard is armed
};

struct AlignmentSetup {
  DiagnosticRecord diagnostics;
  int channel_count = 0;  // beams: the channel total counts emitter and receiver
};

// Diagnostics, the operational check, a one-second settle, the controller's
// set into `guard` (confirmed and journaled), and the alignment set made
// from it into `working` and sent. Ready and OutputPsfUnconfirmed leave the
// guard armed: its Restore puts the own set back.
AlignmentStatus PrepareAlignment(ControllerLink& link, SavedSetGuard& guard, PsfImage& working,
                                 AlignmentSetup& setup);

enum class StampStatus {
  Stamped,          // part number and date code set and acknowledged
  BadPartNumber,    // not six printable characters: nothing read, nothing sent
  BadDateCode,      // not four characters: nothing read, nothing sent
  InputPsfFailed,   // the controller's set could not be read or confirmed; nothing sent
  NotJournaled,     // its set could not be saved in the journal: nothing sent
  OutputPsfFailed,  // read, but the stamped set went out and was not acknowledged
  OutputPsfNoAnswer,  // read, but the stamped set never went out
};

// Reads the controller's set (confirmed, journaled in `guard`), writes
// `part_number` (six printable characters) and `date_code` (four) into it
// and sends it back. `image` receives the set as it was sent (or as read,
// when the send failed). A stamped set that went out unacknowledged while
// the controller no longer holds its own set leaves the guard armed.
StampStatus StampPartNumber(ControllerLink& link, SavedSetGuard& guard, const char* part_number,
                            const char* date_code, PsfImage& image);

}  // namespace kelvt
