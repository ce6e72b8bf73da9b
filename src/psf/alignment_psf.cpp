#include "psf/alignment_psf.h"

namespace kelvt {

void MakeAlignmentPsf(const PsfImage& saved, PsfImage& working) {
  working = saved;
  working.SetMeasurementMode(kAlignMeasurement1, true);
  working.SetMeasurementMode(kAlignMeasurement2, false);
  working.SetScanControl(kAlignScanControl);
  working.SetSerialTransmission(kAlignTransmission);
  working.SetScanningMethod(kAlignScanningMethod);
}

}  // namespace kelvt
