// The best parity codeword is the entry word when its parity holds, and the
// entry word with its least reliable bit inverted when not. Every other
// parity codeword inverts an even number of further positions, so the gap at
// position i is the cost of inverting i together with p1 (parity held) or of
// inverting i instead of p1 (parity failed); at p1 itself, p2 is the partner.
#include "decoder/parity_decoder.h"

#include "decoder/word_steps.h"

namespace tpc {

void DecodeParityWord(int32_t n, uint8_t* hard, int32_t* soft, uint8_t* decisionKept,
                      uint8_t* correctionMade) {
    const int32_t parityHolds = WordParity(hard, n);
    const TwoLeast least = FindTwoLeast(soft, n);
    const int32_t p1 = least.p1;
    const int32_t p2 = least.p2;

    if (parityHolds == 0) {
        hard[p1] = static_cast<uint8_t>(1 - hard[p1]);
        soft[p1] = -soft[p1];
    }
    const int32_t a = soft[p1];
    const int32_t b = soft[p2];
    for (int32_t i = 0; i < n; ++i) soft[i] += a;
    soft[p1] = a + b;
    soft[p2] = a + b;

    *decisionKept = static_cast<uint8_t>(parityHolds);
    *correctionMade = static_cast<uint8_t>(1 - parityHolds);
}

}  // namespace tpc
