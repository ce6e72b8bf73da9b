#include "ops/alignment_steps.h"

#include <cstring>
#include <string_view>

#include "platform/tick.h"
#include "psf/alignment_psf.h"
#include "psf/part_numbers.h"

namespace kelvt {

namespace {

constexpr unsigned kSettleBeforeReadMs = 1000;

bool HasLength(const char* text, std::size_t length) {
  return text != nullptr && strnlen(text, length + 1) == length;
}

}  // namespace

AlignmentStatus PrepareAlignment(ControllerLink& link, SavedSetGuard& guard, PsfImage& working,
                                 AlignmentSetup& setup) {
  setup.channel_count = 0;
  if (!link.InputDiagnostics(setup.diagnostics)) return AlignmentStatus::DiagnosticsFailed;
  if (setup.diagnostics.system_state != kOperational) return AlignmentStatus::NotOperational;
  BusyWait(kSettleBeforeReadMs);
  guard.SetSent([](const PsfImage& own, PsfImage& sent) { MakeAlignmentPsf(own, sent); });
  switch (guard.ReadOwn()) {
    case KeepResult::kKept: break;
    case KeepResult::kNotRead: return AlignmentStatus::InputPsfFailed;
    case KeepResult::kNotJournaled: return AlignmentStatus::NotJournaled;
  }
  MakeAlignmentPsf(guard.Own(), working);
  if (!link.OutputPsf(working)) {
    if (guard.ArmIfUnconfirmed()) return AlignmentStatus::OutputPsfUnconfirmed;
    return link.PsfFrameSent() ? AlignmentStatus::OutputPsfFailed
                               : AlignmentStatus::OutputPsfNoAnswer;
  }
  guard.Arm();
  setup.channel_count = setup.diagnostics.total_channels / 2;
  return AlignmentStatus::Ready;
}

StampStatus StampPartNumber(ControllerLink& link, SavedSetGuard& guard, const char* part_number,
                            const char* date_code, PsfImage& image) {
  // An empty or short part number would overwrite the controller's own with
  // NULs, a control byte would end up in its diagnostics; refuse before
  // touching the controller.
  if (!HasLength(part_number, 6) || !IsValidPartNumber(std::string_view(part_number, 6))) {
    return StampStatus::BadPartNumber;
  }
  if (!HasLength(date_code, 4)) return StampStatus::BadDateCode;
  guard.SetStamp(std::string(part_number, 6), std::string(date_code, 4));
  switch (guard.ReadOwn()) {
    case KeepResult::kKept: break;
    case KeepResult::kNotRead: return StampStatus::InputPsfFailed;
    case KeepResult::kNotJournaled: return StampStatus::NotJournaled;
  }
  image = guard.Own();
  image.SetPartNumber(part_number);
  image.SetDateCode(date_code);
  if (!link.OutputPsf(image)) {
    const bool sent = link.PsfFrameSent();
    if (sent && !guard.ArmIfUnconfirmed()) guard.Release();
    return sent ? StampStatus::OutputPsfFailed : StampStatus::OutputPsfNoAnswer;
  }
  // The controller keeps the stamped set: its old one is no longer owed.
  guard.Release();
  return StampStatus::Stamped;
}

}  // namespace kelvt
