// Small steps shared by the component soft decoders.
//
// A component word is n positions 0 ... n-1 with one hard bit (0 or 1) and
// one signed reliability per position. For the extended Hamming codes,
// positions 0 ... n-2 are the coefficients of x^(n-2) ... x^0 of the cyclic
// code polynomial and position n-1 is the overall parity bit.
#pragma once

#include <cstdint>

namespace tpc {

// Largest reliability a caller may hand to a component decoder. The second
// minimum of FindTwoLeast starts one above it, so it is always replaced.
inline constexpr int32_t SoftLimit = 4090;

// 1 when hard[0 .. n-1] holds an even number of ones (the parity check
// holds), 0 when odd.
int32_t WordParity(const uint8_t* hard, int32_t n);

// Positions of the least (p1) and second least (p2) soft value: the first two
// entries of a stable ascending sort, so ties go to the lower index.
// Needs n >= 2 and every value within +-SoftLimit.
struct TwoLeast {
    int32_t p1;
    int32_t p2;
};
TwoLeast FindTwoLeast(const int32_t* soft, int32_t n);

// Syndrome of hard positions 0 ... n-2 for the extended Hamming code of
// length n (8 ... 256): the remainder of sum hard[i] x^(n-2-i) modulo g(x),
// with the coefficient of x^(m-1-j) as bit j. Position n-1 does not enter.
int32_t HammingSyndrome(int32_t n, const uint8_t* hard);

}  // namespace tpc
