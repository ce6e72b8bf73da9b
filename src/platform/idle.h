#pragma once
// The one user-interface step taken while the serial layer and the
// protocol's waits wait.
//
// The core knows nothing of any toolkit: the desktop tool installs a hook at
// start-up that processes pending events without waiting. By default the
// hook does nothing, so the core links and runs without a user interface.
// Handlers that run inside the step only set flags; should one wait all the
// same (a command, a message box), the step does not nest.

namespace kelvt {

using IdleHook = void (*)();

// Installs `hook` (nullptr restores the default, which does nothing).
void SetIdleHook(IdleHook hook);

// Performs one user-interface step through the installed hook; never waits.
// Called from inside a step, it does nothing.
void PumpOneMessage();

// How many steps are running now (0 outside any, 1 inside the hook).
int IdleDepth();

// A step that may also wait, up to `ms`, for something the window must
// answer, and returns as soon as it came (a click, a screen reader's query):
// a wait made of these answers at once instead of at the next slice. False
// when it cannot wait (no user interface): the caller sleeps instead.
using IdleWaitHook = bool (*)(unsigned ms);

// Installs `hook` (nullptr: no waiting steps).
void SetIdleWaitHook(IdleWaitHook hook);

// One waiting step through the installed hook, up to `ms`. False, having
// done nothing, without a hook or from inside a step.
bool WaitInIdleStep(unsigned ms);

}  // namespace kelvt
