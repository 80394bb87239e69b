// Showing a node's modal parameter dialog.
#pragma once

#include <cstdint>

#include "host/dialogs/dialog_ids.h"

namespace tpc {

// Dialog template numbers of the three nodes, as the resource script has them.
inline constexpr int32_t kDecoderDialog = IDD_DECODER;
inline constexpr int32_t kEncoderDialog = IDD_ENCODER;
inline constexpr int32_t kLlrDialog = IDD_LLR;

// Shows dialog `dialogId` owned by `parentWindow`, editing `block` in place.
// Returns 1 after OK, 0 after Cancel, -1 when the dialog cannot be created.
int32_t ShowParameterDialog(int32_t dialogId, void* block, void* parentWindow);

}  // namespace tpc
