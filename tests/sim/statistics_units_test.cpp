// Confidence interval, signal-to-noise conversions and the reference curves.
#include <cmath>

#include <gtest/gtest.h>

#include "devhost/link.h"
#include "sim/statistics.h"
#include "sim/units.h"

namespace tpcsim {
namespace {

// Published 95% Wilson intervals: 10 of 100 is [0.0552, 0.1744]; with no
// error of 100 the upper end is z^2 / (n + z^2) = 0.0370, and mirrored for
// all 100. With no trial at all (a point interrupted before its first
// block) nothing is known.
TEST(Statistics, WilsonInterval) {
    const struct {
        int64_t errors, trials;
        double low, high;
    } cases[] = {{10, 100, 0.05523, 0.17437}, {0, 100, 0.0, 0.036995}, {100, 100, 0.963005, 1.0}, {0, 0, 0.0, 1.0}};
    for (const auto& c : cases) {
        EXPECT_NEAR(WilsonInterval(c.errors, c.trials).low, c.low, 1e-5) << c.errors << "/" << c.trials;
        EXPECT_NEAR(WilsonInterval(c.errors, c.trials).high, c.high, 1e-5) << c.errors << "/" << c.trials;
    }
}

// Worked values: Es/N0 = Eb/N0 + 10 log10(rate * bits per symbol); with unit
// symbols at 0 dB, N0 = 1 and sigma^2 = 1/2.
TEST(Units, SignalToNoiseAndTheReferenceCurves) {
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
        EXPECT_NEAR(devhost::EsN0DbFromEbN0Db(c.ebN0, c.rate, c.bits), EsN0FromEbN0(c.ebN0, c.rate, c.bits),
                    1e-12);
    }
    EXPECT_NEAR(NoiseSigmaFor(0.0, 1.0), std::sqrt(0.5), 1e-15);
    EXPECT_NEAR(NoiseSigmaFor(10.0, 10.0), std::sqrt(0.5), 1e-15);  // symbol energy 10 scales N0 by 10
    EXPECT_NEAR(devhost::NoiseSigma(3.0, 2.0), NoiseSigmaFor(3.0, 2.0), 1e-15);

    EXPECT_NEAR(UncodedBpskBer(0.0), 0.0786496, 1e-7);  // Q(sqrt(2))
    EXPECT_NEAR(UncodedBpskBer(9.5879), 1e-5, 2e-8);    // the usual 9.6 dB for 1e-5
    // The binary-input AWGN limits of the literature, down to -1.59 dB.
    const struct {
        double rate, limitDb, tolerance;
    } limits[] = {{0.5, 0.187, 0.005}, {1.0 / 3, -0.495, 0.005}, {0.001, -1.59, 0.02}};
    for (const auto& l : limits) EXPECT_NEAR(BiAwgnLimitEbN0Db(l.rate), l.limitDb, l.tolerance) << l.rate;
    EXPECT_LT(BiAwgnCapacity(10.0), 0.01);
}

}  // namespace
}  // namespace tpcsim
