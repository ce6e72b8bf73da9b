#pragma once
// The one user-interface step taken while the serial layer waits.
//
// The core knows nothing of any toolkit: the desktop tool installs a hook at
// start-up that processes pending events without waiting. By default the
// hook does nothing, so the core links and runs without a user interface.

namespace kelvt {

using IdleHook = void (*)();

// Installs `hook` (nullptr restores the default, which does nothing).
void SetIdleHook(IdleHook hook);

// Performs one user-interface step through the installed hook; never waits.
void PumpOneMessage();

}  // namespace kelvt
