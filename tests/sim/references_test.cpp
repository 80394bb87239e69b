// The references of constellation runs against independent computations, and
// the warnings of the constellation file check.
#include <cmath>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "link/link_spec.h"
#include "sim/bicm_capacity.h"
#include "sim/capacity_limit.h"
#include "sim/constellation_check.h"
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
