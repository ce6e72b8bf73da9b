#pragma once
// Whether the editor's set holds changes that closing it would lose: the set
// it shows is compared with the one it last kept (at opening, or when the set
// was sent and accepted or written to a file). A change undone is no change.

#include "psf/psf_record.h"

namespace kelvt {

class PsfChanges {
 public:
  // `shown` is safe from here on: nothing is lost by closing on it.
  void Keep(const PsfRecord& shown) { kept_ = shown; }
  bool Changed(const PsfRecord& shown) const { return !(shown == kept_); }

 private:
  PsfRecord kept_;
};

}  // namespace kelvt
