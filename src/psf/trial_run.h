#pragma once
// The trial run of an edited parameter set: the controller is given the set
// in a form the tool can drive (Host Mode, binary values), the technician
// watches the measurements, and the controller's own set is put back.
//
// Shared by the editor's Execute command and the command-line front end
// (the sequence itself: StartTrialRun); the caller checks the analysis
// modes (CheckExecuteModes) first.

#include "psf/psf_image.h"
#include "psf/psf_record.h"

namespace kelvt {

// Measurement mode of the scans: 1 (only measurement 2) when measurement 1
// is "None" or "VHS"; else 0 (only measurement 1) when measurement 2 is
// "None"; else 2 (both).
int TrialMeasurementMode(const char* meas1_mode, const char* meas2_mode);

// Row label of a measurement: the first four characters of its mode name.
struct MeasurementLabel {
  char text[5];
};
MeasurementLabel TrialMeasurementLabel(const char* mode_name);

// A baud index the controller knows (0..2); anything else, which a PSF with
// an unknown baud byte decodes to, falls back to 0 (9600).
int ValidBaudIndex(int index);

// The image sent for the trial: the record encoded as it stands (with a
// valid baud byte), then Scan Control forced to Host Mode ('c') and Serial
// Transmission to binary without options ('c').
PsfImage BuildTrialImage(const PsfRecord& record);

}  // namespace kelvt
