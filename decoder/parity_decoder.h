// Soft-in soft-out decoder of one single parity check word (n = 2 ... 256).
#pragma once

#include <cstdint>

namespace tpc {

// Replaces hard[0 .. n-1] (in/out, bits 0 or 1) with the best parity codeword
// and soft (in/out, entry reliabilities 0 ... SoftLimit) with each returned
// bit's metric gap to the best parity codeword with the other bit there.
// decisionKept is 1 when the parity held on entry, correctionMade the
// opposite. Exact for this code; integer only, no allocation, reentrant.
void DecodeParityWord(int32_t n, uint8_t* hard, int32_t* soft, uint8_t* decisionKept,
                      uint8_t* correctionMade);

}  // namespace tpc
