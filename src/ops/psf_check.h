#pragma once
// A send whose acknowledgement was garbled or lost may still have been taken
// by the controller. Before telling the user that nothing changed, read its
// set back.

#include "link/controller_link.h"
#include "psf/psf_image.h"

namespace kelvt {

// After an OutputPsf that failed: 1 when its frame went out and the
// controller now answers with a set other than `own`, or cannot be read at
// all, so that the caller must put `own` back; 0 when the frame never went
// out or the controller still holds `own` exactly.
int ControllerMayHoldOtherPsf(ControllerLink& link, const PsfImage& own);

}  // namespace kelvt
