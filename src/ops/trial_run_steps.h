#pragma once
// Starting the trial run of an edited parameter set: the controller's own
// set into the caller's SavedSetGuard, the trial image sent, the link moved
// to the set's rate. The guard puts the own set back.

#include "ops/saved_set_guard.h"
#include "psf/psf_record.h"
#include "psf/trial_run.h"

namespace kelvt {

class ControllerLink;

enum class TrialRunStatus {
  kStarted,              // trial set accepted, link at its rate; the guard is armed
  kOwnPsfNotBack,        // an earlier restore failed and the own set still would not go
                         // back: nothing sent, the own set stays owed
  kSavedPsfNotRead,      // the controller's own set could not be read or confirmed: nothing sent
  kNotJournaled,         // its set could not be saved in the journal: nothing sent
  kTrialPsfNotAccepted,  // the trial set went out and was refused: nothing to restore
  kTrialPsfNoAnswer,     // the trial set never went out: the controller stopped answering
  kTrialPsfUnconfirmed,  // not acknowledged, and the controller no longer answers with its
                         // own set (or not at all): the guard is armed
};

TrialRunStatus StartTrialRun(ControllerLink& link, const PsfRecord& record, SavedSetGuard& guard);

}  // namespace kelvt
