#pragma once
// Putting a controller's own set back: send it, then give the controller a
// moment with it before the port closes.

#include "psf/psf_image.h"

namespace kelvt {

class ControllerLink;

inline constexpr unsigned kPauseAfterSendBackMs = 1000;

// 1 when the controller took `set` (after the pause), 0 when it did not.
int SendBack(ControllerLink& link, PsfImage& set);

}  // namespace kelvt
