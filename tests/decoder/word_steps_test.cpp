#include "decoder/word_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "tests/decoder/component_word_support.h"

namespace {

// FindTwoLeast must give the first two entries of a stable ascending sort,
// including with many ties and negative values (inverted positions).
TEST(WordSteps, FindTwoLeastMatchesStableSort) {
    const uint32_t seed = component_test::TestSeed(7u);
    std::mt19937 rng(seed);
    const int32_t spans[] = {1, 2, 3, SoftLimit};
    for (int32_t n = 2; n <= 256; ++n) {
        for (int32_t span : spans) {
            for (int trial = 0; trial < 20; ++trial) {
                std::vector<int32_t> soft(n);
                std::uniform_int_distribution<int32_t> draw(-span, span);
                for (int32_t& s : soft) s = draw(rng);
                std::vector<int32_t> order(n);
                std::iota(order.begin(), order.end(), 0);
                std::stable_sort(order.begin(), order.end(),
                                 [&](int32_t x, int32_t y) { return soft[x] < soft[y]; });
                const TwoLeast found = FindTwoLeast(soft.data(), n);
                ASSERT_EQ(found.p1, order[0]) << "n = " << n << ", span " << span << ", seed " << seed;
                ASSERT_EQ(found.p2, order[1]) << "n = " << n << ", span " << span << ", seed " << seed;
            }
        }
    }
}

TEST(WordSteps, FindTwoLeastAtExtremes) {
    const int32_t allLimit[3] = {SoftLimit, SoftLimit, SoftLimit};
    const TwoLeast a = FindTwoLeast(allLimit, 3);
    EXPECT_EQ(a.p1, 0);
    EXPECT_EQ(a.p2, 1);
    const int32_t descending[4] = {SoftLimit, -SoftLimit, 5, -SoftLimit};
    const TwoLeast b = FindTwoLeast(descending, 4);
    EXPECT_EQ(b.p1, 1);
    EXPECT_EQ(b.p2, 3);
}

TEST(WordSteps, WordParityIsOneForEvenWeight) {
    const uint8_t even[5] = {1, 0, 1, 1, 1};
    const uint8_t odd[5] = {1, 0, 1, 1, 0};
    const uint8_t zeros[2] = {0, 0};
    EXPECT_EQ(WordParity(even, 5), 1);
    EXPECT_EQ(WordParity(odd, 5), 0);
    EXPECT_EQ(WordParity(zeros, 2), 1);
    EXPECT_EQ(WordParity(even, 4), 0);  // only the first n positions count
}

// The register divider against long division on random words; position n-1
// must not take part.
TEST(WordSteps, HammingSyndromeMatchesLongDivision) {
    const uint32_t seed = component_test::TestSeed(11u);
    std::mt19937 rng(seed);
    for (int32_t n : component_test::kHammingLengths) {
        std::vector<uint8_t> hard(n);
        for (int trial = 0; trial < 500; ++trial) {
            for (uint8_t& h : hard) h = static_cast<uint8_t>(rng() & 1u);
            const int32_t s = HammingSyndrome(n, hard.data());
            ASSERT_EQ(s, component_test::ReferenceSyndrome(n, hard.data())) << "n = " << n << ", seed " << seed;
            ASSERT_LT(s, n);
            hard[n - 1] ^= 1;
            ASSERT_EQ(HammingSyndrome(n, hard.data()), s) << "n = " << n;
        }
    }
}

}  // namespace
