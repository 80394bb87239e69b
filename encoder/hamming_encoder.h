// Component encoders of the product code: extended Hamming codes of length
// 8 ... 256 and the single parity code.
//
// An extended Hamming word of length n = 2^m, k = n - m - 1:
//
//   position  0 ......... k-1 | k ...... n-2 | n-1
//             information     | m parity     | overall parity
//             `------- coefficients of x^(n-2) ... x^0 -----'
//
// Positions 0 ... n-2 form a multiple of g(x) (GeneratorPolynomials), and
// position n-1 makes the weight even. The decoder treats exactly these words
// as code words, so the positions here are part of the block format.
#pragma once

#include <cstdint>

namespace tpc {

// Number of entries of the parity register array that are cleared before
// every word; the largest register (n = 256) uses 8 of them.
inline constexpr int32_t kParityRegisterClear = 10;

// Remainder of the word's first n-1 positions divided by g(x), by a shift
// register of m = log2(n) stages.
//   n      in   8, 16, 32, 64, 128 or 256
//   word   in   positions 0 ... k-1 information, k ... n-2 expected 0; read,
//               never written
//   parity out  entries 0 ... 9 cleared, then the m parity bits left in
//               entries 0 ... m-1 (entry 0 is the coefficient of x^(m-1))
void EncodeHammingParity(int32_t n, const int32_t* word, int32_t* parity);

// Completes an extended Hamming code word in place.
//   word   in/out  positions 0 ... k-1 information; positions k ... n-1 are
//                  overwritten with the m parity bits and the overall parity
//   parity scratch at least 10 entries, left holding the m parity bits
void EncodeHammingWord(int32_t n, int32_t* word, int32_t* parity);

// Completes a single parity code word in place: position n-1 becomes the
// XOR of positions 0 ... n-2 (n >= 2).
void EncodeParityWord(int32_t n, int32_t* word);

}  // namespace tpc
