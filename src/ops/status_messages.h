#pragma once
// What the user is told about each status of the guarded sequences: one
// text per status, shared by the desktop tool and the command line.

#include "ops/alignment_steps.h"
#include "ops/trial_run_steps.h"

namespace kelvt {

// A set could not be written into the journal, so nothing was changed.
inline constexpr const char kNotJournaledMessage[] = "Unable to save the controller's own PSF.";
// The controller's own set could not be put back.
inline constexpr const char kRestoreFailedMessage[] = "Unable to restore original psf.";
// The controller answers but its set could not be read: nothing was changed.
inline constexpr const char kOwnSetUnreadMessage[] = "The controller's own PSF could not be read.";
// The controller answers but its set could not be read: no copy can be kept.
inline constexpr const char kSendUnreadQuestion[] =
    "The controller's own PSF could not be read. Send anyway?";
// A trial after a failed restore: the own set would still not go back.
inline constexpr const char kOwnPsfNotBackMessage[] =
    "The controller's own psf is still not back, so no other psf is tried on it. "
    "It is kept in the journal: put it back with kelvt-cli recover, or Execute... again.";

// "" for Ready.
const char* AlignmentMessage(AlignmentStatus status);
// "" for kStarted.
const char* TrialRunMessage(TrialRunStatus status);
// The part-number statuses other than BadPartNumber and BadDateCode, whose
// wording depends on the front end.
const char* StampMessage(StampStatus status);

}  // namespace kelvt
