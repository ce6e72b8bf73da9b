#include "ops/trial_run_steps.h"

#include "link/controller_link.h"

namespace kelvt {

TrialRunStatus StartTrialRun(ControllerLink& link, const PsfRecord& record, SavedSetGuard& guard) {
  // After a failed restore the controller still runs an earlier trial set:
  // its own set goes back first, and only then is read and kept again. Read
  // now, the trial set would be kept as its own.
  if (!guard.PutBackOwed()) return TrialRunStatus::kOwnPsfNotBack;
  guard.SetSent([trial = BuildTrialImage(record)](const PsfImage&, PsfImage& sent) { sent = trial; });
  switch (guard.ReadOwn()) {
    case KeepResult::kKept: break;
    case KeepResult::kNotRead: return TrialRunStatus::kSavedPsfNotRead;
    case KeepResult::kNotJournaled: return TrialRunStatus::kNotJournaled;
  }
  PsfImage trial = BuildTrialImage(record);
  if (link.OutputPsf(trial) == 0) {
    if (guard.ArmIfUnconfirmed()) return TrialRunStatus::kTrialPsfUnconfirmed;
    return link.PsfFrameSent() ? TrialRunStatus::kTrialPsfNotAccepted
                               : TrialRunStatus::kTrialPsfNoAnswer;
  }
  guard.Arm();
  // The new set may select another rate: follow the controller there. A
  // refused switch only costs the next command a baud search.
  link.SelectBaudIndex(ValidBaudIndex(record.baud_index));
  return TrialRunStatus::kStarted;
}

}  // namespace kelvt
