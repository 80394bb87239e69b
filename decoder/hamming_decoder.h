// Soft-in soft-out decoder of one extended Hamming component word
// (n = 8, 16, 32, 64, 128, 256).
#pragma once

#include <cstdint>

namespace tpc {

// n is 8, 16, 32, 64, 128 or 256 (unchecked: the caller validated it).
// Replaces hard[0 .. n-1] (in/out, bits 0 or 1) with the best of the
// codewords it examines: the algebraic decision D and every codeword that
// differs from D at the two least reliable positions and two more. soft
// (in/out) holds entry reliabilities 0 ... SoftLimit and returns, for each
// position, the smallest metric gap to an examined codeword with the other
// bit there (>= 0). decisionKept is 1 when D is returned; correctionMade is 0
// only when the entry syndrome was 0 and D was kept. Integer only, no
// allocation, reentrant; the caller owns every buffer.
void DecodeHammingWord(int32_t n, uint8_t* hard, int32_t* soft, uint8_t* decisionKept,
                       uint8_t* correctionMade);

// Steps of DecodeHammingWord, exposed for tests.

// rotated[(i - origin) mod (n-1)] = soft[i] for i = 0 ... n-2 and
// rotated[n-1] = soft[n-1]: moves cyclic position origin to 0.
void RotateSoft(int32_t n, const int32_t* soft, int32_t origin, int32_t* rotated);

// The inverse of RotateSoft.
void UnrotateSoft(int32_t n, const int32_t* rotated, int32_t origin, int32_t* soft);

// Pair walk over CompletionPairTable row v (1 ... n-1) on the rotated signed
// soft vector r (in/out). Returns the winning pair (A, B) in rotated
// positions, (0, v) when no competitor scores strictly below the anchor, and
// leaves in r the reliabilities of the winner in rotated positions.
struct WinningPair {
    int32_t a;
    int32_t b;
};
WinningPair ScoreCompetitors(int32_t n, int32_t v, int32_t* r);

}  // namespace tpc
