#pragma once
// A front end for the saved-set guard that only counts: how often the
// controller's own set had to be given to the user as a copy, and which.

#include "ops/saved_set_guard.h"

namespace kelvt::test {

class CountingFrontEnd : public RestoreFrontEnd {
 public:
  void KeepCopy(const PsfImage& own) override {
    ++copies;
    last_copy = own;
  }
  int copies = 0;
  PsfImage last_copy;
};

}  // namespace kelvt::test
