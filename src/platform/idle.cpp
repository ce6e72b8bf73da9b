#include "platform/idle.h"

namespace kelvt {
namespace {
IdleHook g_hook = nullptr;
}

void SetIdleHook(IdleHook hook) { g_hook = hook; }

void PumpOneMessage() {
  if (g_hook != nullptr) g_hook();
}

}  // namespace kelvt
