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
// z^2 / (n + z^2). trials == 0 gives [0, 1].
//
// Applied to bits it treats every decoded bit as an independent trial; the
// errors of a product decoder come in bursts within a block, so the true
// interval is wider than this one when few blocks are in error.
Interval WilsonInterval(int64_t errors, int64_t trials, double z = kZ95);

}  // namespace tpcsim
