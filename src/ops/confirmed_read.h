#pragma once
// A set read from a controller counts only when it was read cleanly and is
// confirmed: by its check sum, computed as it was sent (with 'C' in byte 1,
// which the reply shows as 'E'), or, when the sum does not hold (a set never
// written by this tool may carry another), by two more reads giving the same
// 81 bytes.

#include "psf/psf_image.h"

namespace kelvt {

class ControllerLink;

// 1 with the controller's set in `image`; 0 when it could not be read or
// confirmed (`image` then unchanged).
int ReadConfirmedPsf(ControllerLink& link, PsfImage& image);

}  // namespace kelvt
