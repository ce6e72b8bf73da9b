#include "ops/send_back.h"

#include "link/controller_link.h"
#include "platform/tick.h"

namespace kelvt {

int SendBack(ControllerLink& link, PsfImage& set) {
  if (!link.OutputPsf(set)) return 0;
  BusyWait(kPauseAfterSendBackMs);
  return 1;
}

}  // namespace kelvt
