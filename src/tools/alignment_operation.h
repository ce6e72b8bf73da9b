#pragma once
// Alignment (F3): checks that the controller is operational, saves its PSF,
// sends a copy that makes it answer scans with its full beam map, and runs
// the alignment dialog. The framework puts the saved PSF back afterwards.

#include "gui/operation.h"
#include "ops/alignment_steps.h"

namespace kelvt {

class AlignmentOperation : public Operation {
 public:
  AlignmentOperation(QWidget* parent, int port_number, int baud_rate);

  int Execute() override;

  // The user's words for a preparation that did not reach the dialog.
  static const char* FailureText(AlignmentStatus status);

  const PsfImage& WorkingPsf() const { return working_psf; }
  const PsfImage& SavedPsf() const { return guard ? guard->Own() : saved_psf; }
  bool RestorePending() const { return guard && guard->Armed(); }

 private:
  PsfImage working_psf;
};

}  // namespace kelvt
