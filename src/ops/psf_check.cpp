#include "ops/psf_check.h"

namespace kelvt {

int ControllerMayHoldOtherPsf(ControllerLink& link, const PsfImage& own) {
  if (!link.PsfFrameSent()) return 0;
  PsfImage current;
  if (!link.InputPsf(current)) return 1;
  return current == own ? 0 : 1;
}

}  // namespace kelvt
