#include "link/alignment_steps.h"

#include <cstring>

#include "link/psf_check.h"
#include "platform/tick.h"
#include "psf/alignment_psf.h"

namespace kelvt {

namespace {

constexpr unsigned kSettleBeforeReadMs = 1000;

bool HasLength(const char* text, std::size_t length) {
  return text != nullptr && strnlen(text, length + 1) == length;
}

}  // namespace

AlignmentStatus PrepareAlignment(ControllerLink& link, PsfImage& saved, PsfImage& working,
                                 AlignmentSetup& setup) {
  setup.channel_count = 0;
  if (!link.InputDiagnostics(setup.diagnostics)) return AlignmentStatus::DiagnosticsFailed;
  if (setup.diagnostics.system_state != kOperational) return AlignmentStatus::NotOperational;
  BusyWait(kSettleBeforeReadMs);
  if (!link.InputPsf(saved)) return AlignmentStatus::InputPsfFailed;
  MakeAlignmentPsf(saved, working);
  if (!link.OutputPsf(working)) {
    return ControllerMayHoldOtherPsf(link, saved) ? AlignmentStatus::OutputPsfUnconfirmed
                                                  : AlignmentStatus::OutputPsfFailed;
  }
  setup.channel_count = setup.diagnostics.total_channels / 2;
  return AlignmentStatus::Ready;
}

StampStatus StampPartNumber(ControllerLink& link, const char* part_number,
                            const char* date_code, PsfImage& image) {
  // An empty or short part number would overwrite the controller's own with
  // NULs; refuse before touching the controller.
  if (!HasLength(part_number, 6)) return StampStatus::BadPartNumber;
  if (!HasLength(date_code, 4)) return StampStatus::BadDateCode;
  image[0] = 0;
  if (!link.InputPsf(image)) return StampStatus::InputPsfFailed;
  image.SetPartNumber(part_number);
  image.SetDateCode(date_code);
  if (!link.OutputPsf(image)) return StampStatus::OutputPsfFailed;
  return StampStatus::Stamped;
}

}  // namespace kelvt
