#include "ops/confirmed_read.h"

#include "link/controller_link.h"

namespace kelvt {

int ReadConfirmedPsf(ControllerLink& link, PsfImage& image) {
  PsfImage first;
  if (!link.InputPsf(first)) return 0;
  if (first.CheckSumHolds()) {
    image = first;
    return 1;
  }
  PsfImage second;
  if (!link.InputPsf(second) || !(second == first)) return 0;
  image = first;
  return 1;
}

}  // namespace kelvt
