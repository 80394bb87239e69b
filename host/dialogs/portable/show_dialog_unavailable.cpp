// Platforms without the windowing services have no dialogs: every attempt to
// show one fails the way a failed dialog creation does.
#include "host/dialogs/show_dialog.h"

namespace tpc {

int32_t ShowParameterDialog(int32_t, void*, void*) { return -1; }

}  // namespace tpc
