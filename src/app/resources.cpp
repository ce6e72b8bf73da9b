#include "app/resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE must be used outside any namespace.
static void InitKelvtResources() { Q_INIT_RESOURCE(kelvt); }

namespace kelvt {

void EnsureResources() {
  static const bool done = (InitKelvtResources(), true);
  (void)done;
}

}  // namespace kelvt
