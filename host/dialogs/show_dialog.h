// Showing a node's modal parameter dialog.
#pragma once

#include <cstdint>

// Dialog template numbers of the three nodes.
inline constexpr int32_t kDecoderDialog = 101;
inline constexpr int32_t kEncoderDialog = 102;
inline constexpr int32_t kLlrDialog = 103;

// Shows dialog `dialogId` owned by `parentWindow`, editing `block` in place.
// Returns 1 after OK, 0 after Cancel, -1 when the dialog cannot be created.
int32_t ShowParameterDialog(int32_t dialogId, void* block, void* parentWindow);
