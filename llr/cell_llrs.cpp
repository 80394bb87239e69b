#include "llr/cell_llrs.h"

#include <cmath>
#include <limits>

#include "llr/constellation_reader.h"

namespace tpc {

namespace {

// ln of sum exp(exponent[s]) over s < M whose bit k equals bitValue.
double LogSumOfMetrics(const double* exponent, int32_t M, int32_t k, int32_t bitValue) {
    double largest = -std::numeric_limits<double>::infinity();
    for (int32_t s = 0; s < M; ++s) {
        if (((s >> k) & 1) == bitValue && exponent[s] > largest) largest = exponent[s];
    }
    // Every exponent of the set is -inf (or one is +inf): nothing to rescale,
    // and the caller sees a non-finite ratio. An exponent that is not a number
    // reaches the sum below and makes the result one too.
    if (!std::isfinite(largest)) return largest;
    double sum = 0.0;
    for (int32_t s = 0; s < M; ++s) {
        if (((s >> k) & 1) == bitValue) sum += std::exp(exponent[s] - largest);
    }
    return largest + std::log(sum);
}

}  // namespace

void ComputeCellLlrs(double I, double Q, const double* pointI, const double* pointQ, int32_t M,
                     int32_t m, double gamma, double* llrs) {
    double exponent[kMaxConstellationPoints];
    double metric[kMaxConstellationPoints];
    for (int32_t s = 0; s < M; ++s) {
        const double dI = I - pointI[s];
        const double dQ = Q - pointQ[s];
        exponent[s] = -(dI * dI + dQ * dQ) * gamma;
        metric[s] = std::exp(exponent[s]);
    }
    for (int32_t k = 0; k < m; ++k) {
        double numerator = 0.0;
        double denominator = 0.0;
        for (int32_t s = 0; s < M; ++s) {
            if ((s >> k) & 1) {
                numerator += metric[s];
            } else {
                denominator += metric[s];
            }
        }
        double llr = std::log(numerator / denominator);
        if (!std::isfinite(llr)) {
            llr = LogSumOfMetrics(exponent, M, k, 1) - LogSumOfMetrics(exponent, M, k, 0);
        }
        llrs[k] = llr;
    }
}

}  // namespace tpc
