#include "platform/idle.h"

namespace kelvt {
namespace {
IdleHook g_hook = nullptr;
IdleWaitHook g_wait_hook = nullptr;
int g_idle_depth = 0;
}  // namespace

void SetIdleHook(IdleHook hook) { g_hook = hook; }

void PumpOneMessage() {
  if (g_hook == nullptr || g_idle_depth > 0) return;
  ++g_idle_depth;
  g_hook();
  --g_idle_depth;
}

int IdleDepth() { return g_idle_depth; }

void SetIdleWaitHook(IdleWaitHook hook) { g_wait_hook = hook; }

bool WaitInIdleStep(unsigned ms) {
  if (g_wait_hook == nullptr || g_idle_depth > 0) return false;
  ++g_idle_depth;
  const bool waited = g_wait_hook(ms);
  --g_idle_depth;
  return waited;
}

}  // namespace kelvt
