#include "ops/status_messages.h"

namespace kelvt {

const char* AlignmentMessage(AlignmentStatus status) {
  switch (status) {
    case AlignmentStatus::DiagnosticsFailed:
      return "Unable to input Diagnostics.";
    case AlignmentStatus::NotOperational:
      return "Alignment cannot be executed because the device is not in an operational state.";
    case AlignmentStatus::InputPsfFailed:
      return "Unable to input psf.";
    case AlignmentStatus::NotJournaled:
      return kNotJournaledMessage;
    case AlignmentStatus::OutputPsfFailed:
    case AlignmentStatus::OutputPsfNoAnswer:
    case AlignmentStatus::OutputPsfUnconfirmed:
      return "Unable to output psf.";
    case AlignmentStatus::Ready:
      break;
  }
  return "";
}

const char* TrialRunMessage(TrialRunStatus status) {
  switch (status) {
    case TrialRunStatus::kSavedPsfNotRead:
      return "Unable to input existing controller's psf.";
    case TrialRunStatus::kNotJournaled:
      return kNotJournaledMessage;
    case TrialRunStatus::kOwnPsfNotBack:
      return kOwnPsfNotBackMessage;
    case TrialRunStatus::kTrialPsfNotAccepted:
    case TrialRunStatus::kTrialPsfNoAnswer:
    case TrialRunStatus::kTrialPsfUnconfirmed:
      return "Unable to output psf.";
    case TrialRunStatus::kStarted:
      break;
  }
  return "";
}

const char* StampMessage(StampStatus status) {
  switch (status) {
    case StampStatus::Stamped:
      return "Part Number and Date Code Set.";
    case StampStatus::InputPsfFailed:
      return "Unable to input PSF.";
    case StampStatus::NotJournaled:
      return kNotJournaledMessage;
    case StampStatus::OutputPsfFailed:
    case StampStatus::OutputPsfNoAnswer:
      return "Unable to output PSF.";
    case StampStatus::BadPartNumber:
    case StampStatus::BadDateCode:
      break;
  }
  return "";
}

}  // namespace kelvt
