#include "sim/statistics.h"

#include <algorithm>
#include <cmath>

namespace tpcsim {

Interval WilsonInterval(int64_t errors, int64_t trials, double z) {
    if (trials <= 0) return {0.0, 1.0};
    const double n = static_cast<double>(trials);
    const double p = static_cast<double>(errors) / n;
    const double z2 = z * z;
    const double denominator = 1 + z2 / n;
    const double centre = (p + z2 / (2 * n)) / denominator;
    const double half = z / denominator * std::sqrt(p * (1 - p) / n + z2 / (4 * n * n));
    // At the ends the interval touches 0 or 1 exactly; rounding would leave a trace.
    const double low = errors <= 0 ? 0.0 : std::max(0.0, centre - half);
    const double high = errors >= trials ? 1.0 : std::min(1.0, centre + half);
    return {low, high};
}

Interval BlockBerInterval(const BlockErrorCounts& c, double z) {
    const Interval fer = WilsonInterval(c.blockErrors, c.blocks, z);
    if (c.blocks <= 0 || c.bits <= 0) return {0.0, 1.0};
    if (c.bitErrors <= 0) return {0.0, fer.high};
    const double n = static_cast<double>(c.blocks);
    const double blockBits = static_cast<double>(c.bits) / n;
    const double mean = static_cast<double>(c.bitErrors) / n;
    const double sumSquares = static_cast<double>(c.bitErrorsSquared);
    // One block says nothing of the spread; its own count stands in for it,
    // and the FER bounds below decide.
    const double variance =
        c.blocks > 1 ? std::max(0.0, (sumSquares - mean * mean * n) / (n - 1)) : mean * mean;
    const double half = z * std::sqrt(variance / n);
    const double low = std::max((mean - half) / blockBits, fer.low / blockBits);
    const double high = std::min((mean + half) / blockBits, fer.high);
    return {low, std::max(low, high)};
}

}  // namespace tpcsim
