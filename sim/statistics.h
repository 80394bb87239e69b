// Confidence intervals of an error rate.
#pragma once

#include <cstdint>

namespace tpcsim {

inline constexpr double kZ95 = 1.959963984540054;  // 97.5% normal quantile

struct Interval {
    double low = 0, high = 0;
};

// Two-sided Wilson score interval of a binomial proportion with `errors`
// successes in `trials` trials, at the level given by the normal quantile z
// (1.959963985 for 95%). Defined for zero errors too, where the upper end is
// z^2 / (n + z^2). trials == 0 gives [0, 1]. tpcsim's FER interval, blocks
// being independent trials.
Interval WilsonInterval(int64_t errors, int64_t trials, double z = kZ95);

// What a point counted, block by block.
struct BlockErrorCounts {
    int64_t blocks = 0;
    int64_t bits = 0;               // blocks * K
    int64_t bitErrors = 0;
    int64_t bitErrorsSquared = 0;   // sum over blocks of (bit errors in the block)^2
    int64_t blockErrors = 0;
};

// BER interval with the block as the trial. Bits are not independent trials:
// a product decoder's errors come in bursts inside a block. The BER is the
// mean number of bit errors per block over the K bits of a block, so its
// interval is that of a mean over blocks, mean +- z * s / sqrt(n), s^2 the
// sample variance of the per-block error counts. Two facts of the block
// structure then bound it: every block in error has at least one bit error
// and at most K, so FER / K <= BER <= FER, and the ends are kept within the
// FER interval so scaled. A point without errors gets [0, FER upper end]:
// an upper bound only.
Interval BlockBerInterval(const BlockErrorCounts& counts, double z = kZ95);

}  // namespace tpcsim
