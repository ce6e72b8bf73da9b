#pragma once
// The controller-side sequences of two service commands, kept apart from any
// window so that the desktop tool and the command line run the same steps:
// preparing the controller for alignment, and stamping a part number and
// date code into its parameter set.

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "psf/psf_image.h"

namespace kelvt {

enum class AlignmentStatus {
  Ready,              // the alignment set was accepted; `saved` must go back
  DiagnosticsFailed,  // diagnostics not read
  NotOperational,     // the controller does not report itself operational
  InputPsfFailed,     // its parameter set could not be read
  OutputPsfFailed,    // the alignment set was not accepted; the controller kept its own
  OutputPsfUnconfirmed,  // not acknowledged, and the controller no longer answers with its
                         // own set (or not at all): `saved` must go back
};

struct AlignmentSetup {
  DiagnosticRecord diagnostics;
  int channel_count = 0;  // beams: the channel total counts emitter and receiver
};

// Diagnostics, the operational check, a one-second settle, the controller's
// set into `saved`, and the alignment set made from it into `working` and
// sent. Ready and OutputPsfUnconfirmed leave the controller changed (or
// possibly changed): the caller puts `saved` back.
AlignmentStatus PrepareAlignment(ControllerLink& link, PsfImage& saved, PsfImage& working,
                                 AlignmentSetup& setup);

enum class StampStatus {
  Stamped,          // part number and date code set and acknowledged
  BadPartNumber,    // not six characters: nothing read, nothing sent
  BadDateCode,      // not four characters: nothing read, nothing sent
  InputPsfFailed,   // the controller's set could not be read; nothing sent
  OutputPsfFailed,  // read, but the stamped set was not acknowledged
};

// Reads the controller's set, writes `part_number` (six characters) and
// `date_code` (four) into it and sends it back. `image` receives the set as
// it was sent (or as read, when the send failed).
StampStatus StampPartNumber(ControllerLink& link, const char* part_number,
                            const char* date_code, PsfImage& image);

}  // namespace kelvt
