#include "ops/confirmed_read.h"

#include "link/controller_link.h"

namespace kelvt {

// A noisy line can garble the same byte of two replies alike: a set whose
// sum does not hold counts only when three reads agree.
constexpr int kReadsWithoutSum = 3;

int ReadConfirmedPsf(ControllerLink& link, PsfImage& image) {
  PsfImage first;
  if (!link.InputPsf(first)) return 0;
  if (first.CheckSumHolds()) {
    image = first;
    return 1;
  }
  for (int i = 1; i < kReadsWithoutSum; ++i) {
    PsfImage again;
    if (!link.InputPsf(again) || !(again == first)) return 0;
  }
  image = first;
  return 1;
}

}  // namespace kelvt
