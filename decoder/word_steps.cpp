#include "decoder/word_steps.h"

#include "code/generator_polynomials.h"

namespace tpc {

int32_t WordParity(const uint8_t* hard, int32_t n) {
    int32_t parity = 1;
    for (int32_t i = 0; i < n; ++i) parity ^= hard[i];
    return parity;
}

TwoLeast FindTwoLeast(const int32_t* soft, int32_t n) {
    int32_t least = soft[0];
    int32_t second = SoftLimit + 1;
    TwoLeast found{0, 0};
    for (int32_t i = 1; i < n; ++i) {
        if (soft[i] < second) {
            if (soft[i] >= least) {
                second = soft[i];
                found.p2 = i;
            } else {
                second = least;
                found.p2 = found.p1;
                least = soft[i];
                found.p1 = i;
            }
        }
    }
    return found;
}

// The divider's m cells live in one integer, cell r[j] at bit j, so a shift
// right moves every r[j+1] into r[j] at once; the feedback f = r[0] then
// flips the cells whose g_j is 1 and enters r[m-1] with the next input bit.
int32_t HammingSyndrome(int32_t n, const uint8_t* hard) {
    const int m = HammingOrderOfLength(n);
    const uint8_t* g = GeneratorCoefficients(m);
    uint32_t feedbackMask = 0;
    for (int j = 0; j <= m - 2; ++j) feedbackMask |= uint32_t{g[j]} << j;

    uint32_t cells = 0;
    for (int32_t i = 0; i <= n - 2; ++i) {
        const uint32_t f = cells & 1u;
        cells = (cells >> 1) ^ (feedbackMask & (0u - f)) ^ ((f ^ hard[i]) << (m - 1));
    }
    return static_cast<int32_t>(cells);
}

}  // namespace tpc
