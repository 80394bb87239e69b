// The example constellation files: format, unit mean energy, Gray labels.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "llr/constellation_reader.h"
#include "llr_test_support.h"

namespace {

int32_t BitCount(int32_t v) {
    int32_t count = 0;
    for (; v != 0; v >>= 1) count += v & 1;
    return count;
}

TEST(ExampleConstellations, FormatEnergyAndGrayLabels) {
    struct Case {
        const char* file;
        int32_t M;
        double meanEnergy;
    };
    const Case cases[] = {{"bpsk_pair.txt", 2, 1.0}, {"qpsk.txt", 4, 1.0},    {"8psk.txt", 8, 1.0},
                          {"16qam.txt", 16, 1.0},    {"64qam.txt", 64, 1.0},  {"256qam.txt", 256, 1.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = llr_test::ExampleConstellation(c.file);

        // The file itself: the count, then "label I Q" with label = position.
        std::ifstream in(path);
        ASSERT_TRUE(in.good()) << path;
        int count = 0;
        ASSERT_TRUE(in >> count);
        EXPECT_EQ(count, c.M);
        for (int32_t s = 0; s < c.M; ++s) {
            int label = -1;
            double I = 0.0, Q = 0.0;
            ASSERT_TRUE(in >> label >> I >> Q) << "point " << s;
            EXPECT_EQ(label, s);
        }
        std::string rest;
        EXPECT_FALSE(in >> rest) << "trailing text " << rest;

        std::vector<double> pointI(256, 0.0), pointQ(256, 0.0);
        int32_t openFailed = 0;
        ReadConstellation(pointI.data(), pointQ.data(), c.M, path.c_str(), &openFailed);
        ASSERT_EQ(openFailed, 0);

        double energy = 0.0;
        for (int32_t s = 0; s < c.M; ++s) energy += pointI[s] * pointI[s] + pointQ[s] * pointQ[s];
        EXPECT_NEAR(energy / c.M, c.meanEnergy, 1e-12);

        // Every pair of nearest neighbours differs in exactly one label bit.
        double nearest = 1e300;
        for (int32_t s = 0; s < c.M; ++s) {
            for (int32_t t = s + 1; t < c.M; ++t) {
                nearest = std::min(nearest, std::hypot(pointI[s] - pointI[t], pointQ[s] - pointQ[t]));
            }
        }
        int32_t pairs = 0;
        for (int32_t s = 0; s < c.M; ++s) {
            for (int32_t t = s + 1; t < c.M; ++t) {
                const double d = std::hypot(pointI[s] - pointI[t], pointQ[s] - pointQ[t]);
                if (d > nearest * (1.0 + 1e-9)) continue;
                ++pairs;
                EXPECT_EQ(BitCount(s ^ t), 1) << "neighbours " << s << " and " << t;
            }
        }
        // A square grid of side n has 2n(n-1) neighbour pairs, a circle M.
        const int32_t side = static_cast<int32_t>(std::lround(std::sqrt(c.M)));
        const int32_t expectedPairs = c.M == 2 ? 1 : (c.M == 8 ? 8 : 2 * side * (side - 1));
        EXPECT_EQ(pairs, expectedPairs);
    }
}

}  // namespace
