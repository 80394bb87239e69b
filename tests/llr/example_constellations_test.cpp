// The example constellation files: format, unit mean energy, Gray labels.
#include <gtest/gtest.h>

#include <bitset>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "llr_test_support.h"

namespace {

TEST(ExampleConstellations, FormatEnergyAndGrayLabels) {
    // A square grid of side n has 2n(n-1) nearest-neighbour pairs, a circle M.
    const struct {
        const char* file;
        int32_t M;
        int32_t neighbourPairs;
    } cases[] = {{"bpsk_pair.txt", 2, 1}, {"qpsk.txt", 4, 4},     {"8psk.txt", 8, 8},
                 {"16qam.txt", 16, 24},   {"64qam.txt", 64, 112}, {"256qam.txt", 256, 480}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        // The count, then "label I Q" with label = position.
        std::ifstream in(llr_test::ExampleConstellation(c.file));
        int count = 0;
        ASSERT_TRUE(in >> count);
        EXPECT_EQ(count, c.M);
        std::vector<double> pointI(c.M), pointQ(c.M);
        double energy = 0.0;
        for (int32_t s = 0; s < c.M; ++s) {
            int label = -1;
            ASSERT_TRUE(in >> label >> pointI[s] >> pointQ[s]) << "point " << s;
            EXPECT_EQ(label, s);
            energy += pointI[s] * pointI[s] + pointQ[s] * pointQ[s];
        }
        EXPECT_NEAR(energy / c.M, 1.0, 1e-12);

        // Every pair of nearest neighbours differs in exactly one label bit.
        auto distance = [&](int32_t s, int32_t t) {
            return std::hypot(pointI[s] - pointI[t], pointQ[s] - pointQ[t]);
        };
        double nearest = 1e300;
        for (int32_t s = 0; s < c.M; ++s) {
            for (int32_t t = s + 1; t < c.M; ++t) nearest = std::min(nearest, distance(s, t));
        }
        int32_t pairs = 0;
        for (int32_t s = 0; s < c.M; ++s) {
            for (int32_t t = s + 1; t < c.M; ++t) {
                if (distance(s, t) > nearest * (1.0 + 1e-9)) continue;
                ++pairs;
                EXPECT_EQ(std::bitset<8>(s ^ t).count(), 1u) << "neighbours " << s << " and " << t;
            }
        }
        EXPECT_EQ(pairs, c.neighbourPairs);
    }
}

}  // namespace
