// The references of constellation and fading runs against independent
// computations, and the warnings of the constellation file check.
#include <cmath>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "link/link_description.h"
#include "sim/bicm_capacity.h"
#include "sim/capacity_limit.h"
#include "sim/constellation_check.h"
#include "sim/fading_references.h"
#include "sim/references.h"
#include "sim/uncoded_ber.h"

namespace tpcsim {
namespace {

const std::string kDir = TPC_SOURCE_DIR "/examples/constellations/";

// The BICM limit of Gray 16QAM at rate 3249/4096 (quadrature) against a
// fixed-seed Monte Carlo of the same expression on the file's own points,
// with the test's own Eb/N0 to noise conversion: at the limit the estimate
// must equal R m = 3.1729 bits within four of its standard errors (0.005
// bits; the capacity rises 0.23 bits per dB there, so 0.02 dB). Gray QPSK is two binary channels: its limit is
// the binary-input AWGN one, which 1D Simpson integration computes.
TEST(References, BicmLimitAgreesWithMonteCarloAndTheBinaryLimit) {
    const double rate = 3249.0 / 4096;
    const double limit = BicmLimitEbN0Db(ReadSignalSet(kDir + "16qam.txt", 16), rate);
    const ConstellationFile file = ReadConstellationFile(kDir + "16qam.txt");
    const double n0 = 1 / (rate * 4 * std::pow(10.0, limit / 10));  // Es = 1 = R m Eb
    std::mt19937_64 random(1);
    std::normal_distribution<double> noise(0, std::sqrt(n0 / 2));
    double sum = 0, sumSquares = 0;
    const int draws = 60000;
    for (int sent = 0; sent < 16; ++sent) {
        for (int d = 0; d < draws; ++d) {
            const double yi = file.i[sent] + noise(random), yq = file.q[sent] + noise(random);
            double all = 0, same[4] = {};
            for (int j = 0; j < 16; ++j) {
                const double p = std::exp(-(std::pow(yi - file.i[j], 2) + std::pow(yq - file.q[j], 2)) / n0);
                all += p;
                for (int k = 0; k < 4; ++k) same[k] += ((j ^ sent) >> k & 1) ? 0 : p;
            }
            double capacity = 4;
            for (int k = 0; k < 4; ++k) capacity -= std::log2(all / same[k]);
            sum += capacity;
            sumSquares += capacity * capacity;
        }
    }
    const double n = 16.0 * draws, mean = sum / n;
    const double standardError = std::sqrt((sumSquares / n - mean * mean) / n);
    EXPECT_NEAR(mean, rate * 4, 4 * standardError) << "limit " << limit << " dB";
    EXPECT_LT(standardError, 0.0013);
    EXPECT_NEAR(BicmLimitEbN0Db(ReadSignalSet(kDir + "qpsk.txt", 4), rate), BiAwgnLimitEbN0Db(rate), 2e-3);
}

// Square Gray QAM decides I and Q apart, each as the PAM of its first row
// (points 0 ... sqrt(M) - 1, labelled by their index): the same BER, computed
// here from Gaussian tails between the midpoints. Two points are BPSK.
TEST(References, UncodedBerOfSquareQamIsThatOfItsPamAndBpsk) {
    auto tail = [](double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); };
    for (const auto& [name, points, side] : {std::tuple{"16qam.txt", 16, 4}, {"64qam.txt", 64, 8}}) {
        const SignalSet set = ReadSignalSet(kDir + name, points);
        const int bits = set.bitsPerSymbol / 2;
        for (double ebN0Db : {0.0, 6.0, 12.0, 16.0}) {
            const double sigma = tpc::link::NoiseSigma(ebN0Db + 10 * std::log10(set.bitsPerSymbol), 1);
            double pam = 0;
            for (int a = 0; a < side; ++a) {
                for (int b = 0; b < side; ++b) {
                    double lo = -INFINITY, hi = INFINITY;  // where b is the nearest level
                    for (int c = 0; c < side; ++c) {
                        const double middle = (set.i[size_t(b)] + set.i[size_t(c)]) / 2;
                        if (set.i[size_t(c)] < set.i[size_t(b)]) lo = std::max(lo, middle);
                        if (set.i[size_t(c)] > set.i[size_t(b)]) hi = std::min(hi, middle);
                    }
                    const double p = tail((lo - set.i[size_t(a)]) / sigma) - tail((hi - set.i[size_t(a)]) / sigma);
                    pam += p * __builtin_popcount(unsigned(a ^ b)) / (double(side) * bits);
                }
            }
            const double ber = UncodedBer(set, {sigma})[0];
            EXPECT_NEAR(ber / pam, 1, 1e-6) << name << " at " << ebN0Db << " dB: " << ber << " vs " << pam;
        }
    }
    const SignalSet pair = ReadSignalSet(kDir + "bpsk_pair.txt", 2);
    for (double ebN0Db : {0.0, 9.0}) {
        const double expected = 0.5 * std::erfc(std::sqrt(std::pow(10.0, ebN0Db / 10)));
        EXPECT_NEAR(UncodedBer(pair, {tpc::link::NoiseSigma(ebN0Db, 1)})[0] / expected, 1, 1e-9);
    }
}

// A gain of unit mean power: line of sight sqrt(K/(K+1)) plus a complex
// Gaussian of power 1/(K+1); K = 0 is Rayleigh.
struct GainDraw {
    std::normal_distribution<double> scatter;
    double lineOfSight;
    explicit GainDraw(double ricianK)
        : scatter(0, std::sqrt(0.5 / (ricianK + 1))), lineOfSight(std::sqrt(ricianK / (ricianK + 1))) {}
    double powerGain(std::mt19937_64& random) {
        const double a = lineOfSight + scatter(random), b = scatter(random);
        return a * a + b * b;
    }
};

// Coherent BPSK through a Rayleigh gain, decided on Re(conj(h) y): the
// closed form within four standard errors of the count.
TEST(FadingReferences, RayleighBpskClosedFormAgreesWithMonteCarlo) {
    std::mt19937_64 random(7);
    GainDraw gain(0);
    for (double ebN0Db : {0.0, 6.0, 12.0}) {
        std::normal_distribution<double> noise(0, std::sqrt(0.5 / std::pow(10.0, ebN0Db / 10)));
        const int draws = 1000000;
        int errors = 0;
        for (int d = 0; d < draws; ++d) errors += std::sqrt(gain.powerGain(random)) + noise(random) < 0;
        const double p = RayleighBpskBer(ebN0Db), standardError = std::sqrt(p * (1 - p) / draws);
        EXPECT_NEAR(double(errors) / draws, p, 4 * standardError) << ebN0Db << " dB";
    }
}

// The quadrature over the gain of the AWGN hard-decision BER, as a run's
// uncoded curve: two points and Gray QPSK (two BPSK channels at the same
// Eb/N0) give the closed form over Rayleigh fading.
TEST(FadingReferences, UncodedCurveOverRayleighIsTheBpskClosedForm) {
    for (const auto& [name, points] : {std::pair{"bpsk_pair.txt", 2}, {"qpsk.txt", 4}}) {
        SimOptions o;
        o.channel = "rayleigh";
        o.constellation = kDir + name;
        o.points = points;
        const std::vector<UncodedPoint> curve = UncodedCurve(o, 0.0, {35.0});
        ASSERT_EQ(curve.size(), 371u) << name;  // -1 ... 36 dB
        double worst = 0;
        for (const UncodedPoint& p : curve) worst = std::max(worst, std::fabs(p.ber / RayleighBpskBer(p.ebN0Db) - 1));
        EXPECT_LT(worst, 1e-4) << name;
    }
}

// At the ergodic limit of BPSK over fast fading, a fixed-seed Monte Carlo of
// E[C(Es/N0 |h|^2)] (gain, noise and the bit's LLR drawn) must give the
// rate within four of its standard errors, which stay below 0.0015 bits.
TEST(FadingReferences, ErgodicBpskLimitAgreesWithMonteCarlo) {
    const double rate = 3249.0 / 4096;
    for (double ricianK : {0.0, 4.0}) {
        SimOptions o;
        o.channel = ricianK > 0 ? "rician" : "rayleigh";
        o.ricianK = ricianK;
        const double limit = LimitEbN0Db(o, rate);
        const double sigma = std::sqrt(0.5 / (rate * std::pow(10.0, limit / 10)));  // Es = 1 = R Eb
        std::mt19937_64 random(3);
        GainDraw gain(ricianK);
        std::normal_distribution<double> noise(0, sigma);
        double sum = 0, sumSquares = 0;
        const int draws = 400000;
        for (int d = 0; d < draws; ++d) {
            const double a = std::sqrt(gain.powerGain(random));
            const double llr = 2 * a * (a + noise(random)) / (sigma * sigma);
            const double loss = (llr > 0 ? std::log1p(std::exp(-llr)) : -llr + std::log1p(std::exp(llr))) / std::log(2.0);
            sum += 1 - loss;
            sumSquares += (1 - loss) * (1 - loss);
        }
        const double mean = sum / draws, standardError = std::sqrt((sumSquares / draws - mean * mean) / draws);
        EXPECT_NEAR(mean, rate, 4 * standardError) << "K " << ricianK << ": limit " << limit << " dB";
        EXPECT_LT(standardError, 0.0015);
        EXPECT_GT(limit, BiAwgnLimitEbN0Db(rate) + 0.5);
    }
}

// Outage over block Rayleigh fading is 1 - exp(-g*/g); the Rician gain's
// CDF, from small values to near 1, is the integral of its density.
TEST(FadingReferences, OutageAndGainCdfAgreeWithClosedFormAndIntegral) {
    for (double ebN0Db : {0.0, 10.0, 30.0}) {
        const double expected = -std::expm1(-std::pow(10.0, (2.0 - ebN0Db) / 10));
        EXPECT_NEAR(OutageProbability(0, 2.0, ebN0Db) / expected, 1, 1e-12) << ebN0Db;
    }
    for (double k : {2.0, 10.0}) {
        for (double x : {1e-3, 0.3, 1.0, 2.5}) {
            const int intervals = 4000;
            double integral = 0;
            for (int i = 0; i <= intervals; ++i) {
                const double u = x * i / intervals;
                const double density = (k + 1) * std::exp(-k - (k + 1) * u) * std::cyl_bessel_i(0.0, 2 * std::sqrt(k * (k + 1) * u));
                integral += density * (i == 0 || i == intervals ? 1 : i % 2 ? 4 : 2);
            }
            integral *= x / intervals / 3;
            EXPECT_NEAR(FadingGainCdf(k, x) / integral, 1, 1e-8) << "K " << k << ", x " << x;
        }
    }
}

// A file that runs but not as its author may think says so, each thing once.
TEST(ConstellationCheck, WarningsForOrderGrayAndEnergy) {
    const std::string path = testing::TempDir() + "tpcsim_ring.txt";
    std::ofstream(path) << "4\n0 -1 -1\n1 1 -1\n3 1 1\n2 -1 1\n";  // labels by position: 2 next to 1
    const ConstellationCheck ring = CheckConstellationFile(path, 4);
    ASSERT_EQ(ring.error, "");
    ASSERT_EQ(ring.warnings.size(), 3u);
    EXPECT_NE(ring.warnings[0].find("not in file order"), std::string::npos);
    EXPECT_NE(ring.warnings[1].find("not Gray"), std::string::npos);
    EXPECT_NE(ring.warnings[2].find("average symbol energy is 2, not 1"), std::string::npos);
    for (const auto& [name, points] : {std::pair{"16qam.txt", 16}, {"8psk.txt", 8}, {"256qam.txt", 256}}) {
        EXPECT_TRUE(CheckConstellationFile(kDir + name, points).warnings.empty()) << name;
    }
}

}  // namespace
}  // namespace tpcsim
