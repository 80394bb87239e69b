#include "decoder/word_steps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#include "tests/decoder/component_word_support.h"

namespace {

// FindTwoLeast must give the first two entries of a stable ascending sort,
// with many ties, negative values (inverted positions) and values at the
// limit (the second minimum starts just above it).
TEST(WordSteps, FindTwoLeastMatchesStableSort) {
    const uint32_t seed = component_test::TestSeed(7u);
    std::mt19937 rng(seed);
    auto check = [&](const std::vector<int32_t>& soft) {
        std::vector<int32_t> order(soft.size());
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int32_t x, int32_t y) { return soft[x] < soft[y]; });
        const TwoLeast found = FindTwoLeast(soft.data(), static_cast<int32_t>(soft.size()));
        ASSERT_EQ(found.p1, order[0]) << "n = " << soft.size() << ", seed " << seed;
        ASSERT_EQ(found.p2, order[1]) << "n = " << soft.size() << ", seed " << seed;
    };
    check({SoftLimit, SoftLimit, SoftLimit});
    check({SoftLimit, -SoftLimit, 5, -SoftLimit});
    for (int32_t n = 2; n <= 256; ++n) {
        for (int32_t span : {1, 2, 3, SoftLimit}) {
            std::uniform_int_distribution<int32_t> draw(-span, span);
            for (int trial = 0; trial < 20; ++trial) {
                std::vector<int32_t> soft(n);
                for (int32_t& s : soft) s = draw(rng);
                check(soft);
                if (testing::Test::HasFatalFailure()) return;
            }
        }
    }
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
            hard[n - 1] ^= 1;
            ASSERT_EQ(HammingSyndrome(n, hard.data()), s) << "n = " << n;
        }
    }
}

}  // namespace
