// Generator polynomials of the cyclic Hamming codes inside the extended
// Hamming component codes, shared by the encoder and the decoder.
//
//   n    m   g(x)
//   8    3   x^3 + x + 1
//   16   4   x^4 + x + 1
//   32   5   x^5 + x^2 + 1
//   64   6   x^6 + x + 1
//   128  7   x^7 + x^3 + 1
//   256  8   x^8 + x^4 + x^3 + x^2 + 1
//
// Row m - 3 holds the m coefficients of x^(m-1) ... x^0 (the leading x^m is
// implied); byte j is the g_j of the shift-register divider. Entries past m
// are unused and zero. Every generator is primitive.
#pragma once

#include <cstdint>

namespace tpc {

inline constexpr int kMinHammingOrder = 3;
inline constexpr int kMaxHammingOrder = 8;

inline constexpr uint8_t GeneratorPolynomials[6][8] = {
    {0, 1, 1},
    {0, 0, 1, 1},
    {0, 0, 1, 0, 1},
    {0, 0, 0, 0, 1, 1},
    {0, 0, 0, 1, 0, 0, 1},
    {0, 0, 0, 1, 1, 1, 0, 1},
};

// Coefficients of x^(m-1) ... x^0 of g(x) for the code of order m (3 ... 8).
constexpr const uint8_t* GeneratorCoefficients(int m) {
    return GeneratorPolynomials[m - kMinHammingOrder];
}

// log2 of an extended Hamming code length, or 0 when n is not one of
// 8, 16, 32, 64, 128, 256.
constexpr int HammingOrderOfLength(int n) {
    for (int m = kMinHammingOrder; m <= kMaxHammingOrder; ++m) {
        if (n == (1 << m)) return m;
    }
    return 0;
}

// The order m whose extended Hamming code has k information bits
// (4, 11, 26, 57, 120, 247), or 0 for any other k.
constexpr int HammingOrderOfInformationLength(int k) {
    for (int m = kMinHammingOrder; m <= kMaxHammingOrder; ++m) {
        if (k == (1 << m) - m - 1) return m;
    }
    return 0;
}

}  // namespace tpc
