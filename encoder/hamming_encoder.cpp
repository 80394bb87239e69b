// Extended Hamming and parity component encoders (see hamming_encoder.h).
//
// The parity bits come from a plain shift-register divider that works one
// word position per step on the caller's parity array, so the register
// contents are the same integers the decoder's tables are built from.
#include "encoder/hamming_encoder.h"

#include <cassert>

#include "code/generator_polynomials.h"

namespace tpc {

void EncodeHammingParity(int32_t n, const int32_t* word, int32_t* parity) {
    const int32_t m = HammingOrderOfLength(n);
    assert(m != 0 && "not an extended Hamming code length");
    const uint8_t* g = GeneratorCoefficients(m);

    for (int32_t j = 0; j < kParityRegisterClear; ++j) parity[j] = 0;

    // r[0] is the highest-order stage. The x^0 coefficient of g is 1 for
    // every generator, so the feedback enters the last stage unconditionally.
    for (int32_t i = 0; i <= n - 2; ++i) {
        const int32_t feedback = parity[0];
        for (int32_t j = 0; j <= m - 2; ++j) {
            parity[j] = parity[j + 1] ^ (feedback & g[j]);
        }
        parity[m - 1] = feedback ^ word[i];
    }
}

void EncodeHammingWord(int32_t n, int32_t* word, int32_t* parity) {
    const int32_t m = HammingOrderOfLength(n);
    const int32_t k = n - m - 1;
    // The divider reads positions k ... n-2 as the x^m shift of the message.
    for (int32_t i = k; i < n; ++i) word[i] = 0;
    EncodeHammingParity(n, word, parity);
    for (int32_t j = 0; j < m; ++j) word[k + j] = parity[j];
    EncodeParityWord(n, word);
}

void EncodeParityWord(int32_t n, int32_t* word) {
    int32_t sum = 0;
    for (int32_t i = 0; i <= n - 2; ++i) sum ^= word[i];
    word[n - 1] = sum;
}

}  // namespace tpc
