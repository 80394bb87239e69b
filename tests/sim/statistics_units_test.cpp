// Confidence interval, signal-to-noise conversions and the reference curves.
#include <cmath>

#include <gtest/gtest.h>

#include "devhost/link.h"
#include "sim/statistics.h"
#include "sim/units.h"

namespace tpcsim {
namespace {

// The Wilson interval by its definition: the p for which the observed rate is
// exactly z standard errors away, |phat - p| = z sqrt(p (1 - p) / n), found
// by bisection on each side of phat.
Interval WilsonByBisection(int64_t errors, int64_t trials, double z) {
    const double n = static_cast<double>(trials), phat = errors / n;
    auto excess = [&](double p) { return std::fabs(phat - p) - z * std::sqrt(p * (1 - p) / n); };
    auto solve = [&](double inside, double outside) {
        for (int i = 0; i < 200; ++i) {
            const double mid = (inside + outside) / 2;
            (excess(mid) > 0 ? outside : inside) = mid;
        }
        return (inside + outside) / 2;
    };
    return {errors == 0 ? 0.0 : solve(phat, 0.0), errors == trials ? 1.0 : solve(phat, 1.0)};
}

TEST(Statistics, WilsonMatchesItsDefinition) {
    const struct {
        int64_t errors, trials;
    } cases[] = {{0, 1}, {0, 100}, {1, 100}, {10, 100}, {50, 100}, {100, 100}, {3, 3249},
                 {498, 9747000}, {5, 1000000000}, {123456, 3249000000}};
    for (const auto& c : cases) {
        const Interval closed = WilsonInterval(c.errors, c.trials);
        const Interval oracle = WilsonByBisection(c.errors, c.trials, kZ95);
        const double scale = std::max(oracle.high, 1e-300);
        EXPECT_NEAR(closed.low, oracle.low, 1e-9 * scale) << c.errors << "/" << c.trials;
        EXPECT_NEAR(closed.high, oracle.high, 1e-9 * scale) << c.errors << "/" << c.trials;
    }
}

TEST(Statistics, WilsonKnownValuesAndNoTrials) {
    const Interval textbook = WilsonInterval(10, 100);  // [0.0552, 0.1744]
    EXPECT_NEAR(textbook.low, 0.05523, 5e-5);
    EXPECT_NEAR(textbook.high, 0.17437, 5e-5);
    const Interval none = WilsonInterval(0, 0);
    EXPECT_EQ(none.low, 0.0);
    EXPECT_EQ(none.high, 1.0);
}

TEST(Units, EbN0EsN0AndSigma) {
    const struct {
        double ebN0, rate;
        int bits;
        double esN0;
    } cases[] = {{3.0, 1.0, 1, 3.0}, {3.0, 0.5, 1, -0.0103}, {0.0, 0.25, 4, 0.0},
                 {2.0, 3249.0 / 4096, 1, 0.99390}, {10.0, 0.5, 4, 13.0103}};
    for (const auto& c : cases) {
        EXPECT_NEAR(EsN0FromEbN0(c.ebN0, c.rate, c.bits), c.esN0, 1e-4) << c.ebN0 << " " << c.rate;
        EXPECT_NEAR(EbN0FromEsN0(c.esN0, c.rate, c.bits), c.ebN0, 1e-4);
        // The development host's link uses its own copy: the two must agree.
        EXPECT_NEAR(devhost::EsN0DbFromEbN0Db(c.ebN0, c.rate, c.bits),
                    EsN0FromEbN0(c.ebN0, c.rate, c.bits), 1e-12);
    }
    // 0 dB with unit symbols: N0 = 1, sigma^2 = 1/2; 10 dB: N0 = 0.1, and
    // symbol energy 10 scales N0 by 10.
    EXPECT_NEAR(NoiseSigmaFor(0.0, 1.0), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(NoiseSigmaFor(10.0, 1.0), std::sqrt(0.05), 1e-15);
    EXPECT_NEAR(NoiseSigmaFor(10.0, 10.0), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(devhost::NoiseSigma(3.0, 2.0), NoiseSigmaFor(3.0, 2.0), 1e-15);
}

TEST(Units, UncodedBpsk) {
    EXPECT_NEAR(UncodedBpskBer(0.0), 0.0786496, 1e-7);  // Q(sqrt(2))
    EXPECT_NEAR(UncodedBpskBer(9.5879), 1e-5, 2e-8);    // the usual 9.6 dB for 1e-5
}

// Capacity by a plain midpoint sum of the textbook integrand, twice as fine
// and over a wider range than the fast routine.
double CapacityPlain(double sigma) {
    const int steps = 40000;
    const double lo = 1 - 16 * sigma, h = 32 * sigma / steps, var = sigma * sigma;
    double sum = 0;
    for (int i = 0; i < steps; ++i) {
        const double y = lo + (i + 0.5) * h, llr = 2 * y / var;
        const double density =
            std::exp(-(y - 1) * (y - 1) / (2 * var)) / std::sqrt(2 * 3.14159265358979323846 * var);
        const double term = llr > 0 ? std::log2(1 + std::exp(-llr))
                                    : -llr / std::log(2.0) + std::log2(1 + std::exp(llr));
        sum += density * term * h;
    }
    return 1 - sum;
}

TEST(Units, CapacityAgainstPlainIntegrationAndLimits) {
    for (double sigma : {0.1, 0.3, 0.6, 0.8, 1.0, 1.5, 3.0}) {
        EXPECT_NEAR(BiAwgnCapacity(sigma), CapacityPlain(sigma), 1e-7) << "sigma " << sigma;
    }
    EXPECT_LT(BiAwgnCapacity(10.0), 0.01);
    const struct {
        double rate, limitDb, tolerance;
    } cases[] = {{0.5, 0.187, 0.005}, {1.0 / 3, -0.495, 0.005}, {0.001, -1.59, 0.02}};
    for (const auto& c : cases) {
        EXPECT_NEAR(BiAwgnLimitEbN0Db(c.rate), c.limitDb, c.tolerance) << "rate " << c.rate;
    }
}

}  // namespace
}  // namespace tpcsim
