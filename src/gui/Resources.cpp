#include "gui/Resources.h"

#include <QtGlobal>

static void RegisterKestrune() {
  Q_INIT_RESOURCE(kestrune);
}

void InitKestruneResources() {
  static const bool done = (RegisterKestrune(), true);
  (void)done;
}
