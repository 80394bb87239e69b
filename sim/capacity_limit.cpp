#include "sim/capacity_limit.h"

#include <cmath>

#include "link/link_description.h"

namespace tpcsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

// log2(1 + exp(-t)) without overflow for large negative t.
double Log2OnePlusExpMinus(double t) {
    const double natural = t > 0 ? std::log1p(std::exp(-t)) : -t + std::log1p(std::exp(t));
    return natural / std::log(2.0);
}

}  // namespace

// C = 1 - E[log2(1 + exp(-2 y / sigma^2))] with y ~ N(1, sigma^2) (by symmetry
// the -1 input gives the same expectation). Composite Simpson over +-12 sigma,
// where the Gaussian weight below 1e-32 no longer matters.
double BiAwgnCapacity(double sigma) {
    const int intervals = 4000;  // even
    const double lo = 1 - 12 * sigma, hi = 1 + 12 * sigma;
    const double h = (hi - lo) / intervals;
    const double twoVar = 2 * sigma * sigma;
    double sum = 0;
    for (int i = 0; i <= intervals; ++i) {
        const double y = lo + i * h;
        const double density = std::exp(-(y - 1) * (y - 1) / twoVar);
        const double f = density * Log2OnePlusExpMinus(2 * y / (sigma * sigma));
        const double weight = (i == 0 || i == intervals) ? 1 : (i % 2 ? 4 : 2);
        sum += weight * f;
    }
    const double expectation = sum * h / 3 / std::sqrt(kPi * twoVar);
    return 1 - expectation;
}

double BiAwgnLimitEbN0Db(double codeRate) {
    // BPSK symbols of energy 1 carry R information bits: Es/N0 = R Eb/N0.
    auto capacityAt = [codeRate](double ebN0Db) {
        return BiAwgnCapacity(tpc::link::NoiseSigma(tpc::link::EsN0DbFromEbN0Db(ebN0Db, codeRate, 1), 1.0));
    };
    double lo = -2.0, hi = 20.0;  // capacity grows with Eb/N0 at fixed rate
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (capacityAt(mid) < codeRate ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

}  // namespace tpcsim
