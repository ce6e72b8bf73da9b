#pragma once
// What the alignment operation does before its dialog, for the benchmarks:
// diagnostics, the controller's PSF, and the set that makes scans answer
// with a beam map.

#include "link/controller_link.h"
#include "link/diagnostic_record.h"
#include "psf/alignment_psf.h"
#include "psf/psf_image.h"

namespace kelvt::bench {

// nullptr when the controller scans for alignment, else what failed.
inline const char* PrepareForAlignment(ControllerLink& link, DiagnosticRecord& diag) {
  if (link.InputDiagnostics(diag) == 0) return "no diagnostics";
  PsfImage own;
  if (link.InputPsf(own) == 0) return "cannot read the PSF";
  PsfImage psf;
  MakeAlignmentPsf(own, psf);
  if (link.OutputPsf(psf) == 0) return "the alignment PSF was not accepted";
  return nullptr;
}

}  // namespace kelvt::bench
