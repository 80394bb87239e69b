// Constant tables of the extended Hamming component decoders, n = 8 ... 256.
//
// Both tables follow from g(x) (GeneratorPolynomials) and the bit order of
// the component words; code_tables.cpp builds them at compile time from the
// rules below, so there is nothing to regenerate by hand.
//
//   S(i)  single-error syndrome: x^(n-2-i) mod g(x) for i = 0 ... n-2, the
//         coefficient of x^(m-1-j) as bit j; S(n-1) = 0.
//   SyndromePositionTable(n)[0] = n-1, [S(i)] = i.
//   CompletionPairTable(n) row v (v = 1 ... n-1), n-2 entries as pairs
//         (a, b): starting with {0, v} covered, for a = 1 ... n-1 not yet
//         covered append (a, b) with b = SyndromePositionTable[S(0)^S(v)^S(a)]
//         and cover both. {0, v, a, b} is then the support of a weight-4
//         codeword. Row 0 is never read and holds n-1 everywhere. The pair
//         order is the decoder's tie-break between equal competitors, so rows
//         must be built in exactly this order.
#pragma once

#include <cstdint>

namespace tpc {

// Syndrome that a word with a single 1 at position i gives (0 for i = n-1).
int32_t SingleErrorSyndrome(int32_t n, int32_t i);

// n entries, indexed by syndrome: the position that algebraic correction
// inverts. n must be 8, 16, 32, 64, 128 or 256.
const int32_t* SyndromePositionTable(int32_t n);

// n rows of n-2 entries; row v starts at v * (n-2). Same n as above.
const int32_t* CompletionPairTable(int32_t n);

}  // namespace tpc
