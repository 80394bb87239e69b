#include "decoder/parity_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "decoder/word_steps.h"
#include "tests/decoder/component_word_support.h"

namespace {

struct ParityCase {
    const char* what;
    std::vector<uint8_t> hard;
    std::vector<int32_t> soft;
    std::vector<uint8_t> expectedHard;
    std::vector<int32_t> expectedSoft;
    uint8_t kept, corrected;
};

TEST(ParityDecoder, HandWorkedWords) {
    const ParityCase cases[] = {
        {"failed parity: least reliable bit 1 inverted", {1, 0, 1, 1}, {5, 2, 9, 7}, {1, 1, 1, 1}, {3, 3, 7, 5}, 0, 1},
        {"parity holds: each gap adds the least reliability", {1, 0, 1, 0}, {5, 2, 9, 7}, {1, 0, 1, 0}, {7, 7, 11, 9}, 1, 0},
        {"n = 2, failed: both gaps are the difference", {0, 1}, {30, 12}, {0, 0}, {18, 18}, 0, 1},
        {"n = 2, failed, equal reliabilities: position 0 inverted", {1, 0}, {9, 9}, {0, 0}, {0, 0}, 0, 1},
        {"n = 2, holds", {1, 1}, {30, 12}, {1, 1}, {42, 42}, 1, 0},
    };
    for (const ParityCase& c : cases) {
        std::vector<uint8_t> hard = c.hard;
        std::vector<int32_t> soft = c.soft;
        uint8_t kept = 2, corrected = 2;
        DecodeParityWord(static_cast<int32_t>(hard.size()), hard.data(), soft.data(), &kept, &corrected);
        EXPECT_EQ(hard, c.expectedHard) << c.what;
        EXPECT_EQ(soft, c.expectedSoft) << c.what;
        EXPECT_EQ(kept, c.kept) << c.what;
        EXPECT_EQ(corrected, c.corrected) << c.what;
    }
}

// Every parity codeword of length n = 2 ... 10 is scored against the entry
// word. The decision is the best codeword, ties going to the fewest
// inversions and then to the lowest inverted position; each gap is the
// distance to the best codeword with the other bit.
TEST(ParityDecoder, AgreesWithExhaustiveSearch) {
    const uint32_t seed = component_test::TestSeed(99u);
    std::mt19937 rng(seed);
    for (int32_t n = 2; n <= 10; ++n) {
        for (int32_t span : {1, 3, SoftLimit}) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < 400; ++trial) {
                std::vector<uint8_t> hard(n);
                std::vector<int32_t> soft(n);
                uint32_t entry = 0;
                for (int32_t i = 0; i < n; ++i) {
                    hard[i] = static_cast<uint8_t>(rng() & 1u);
                    soft[i] = reliability(rng);
                    entry |= uint32_t{hard[i]} << i;
                }
                auto metric = [&](uint32_t word) {
                    int32_t sum = 0;
                    for (int32_t i = 0; i < n; ++i) sum += ((word ^ entry) >> i) & 1u ? soft[i] : 0;
                    return sum;
                };
                auto rank = [&](uint32_t word) {  // metric, inversions, lowest inversion
                    const uint32_t flips = word ^ entry;
                    return std::make_tuple(metric(word), __builtin_popcount(flips),
                                           flips ? __builtin_ctz(flips) : n);
                };
                uint32_t best = 0;
                for (uint32_t word = 0; word < (1u << n); ++word) {
                    if (__builtin_popcount(word) % 2 == 0 && rank(word) < rank(best)) best = word;
                }
                std::vector<int32_t> gap(n, -1);
                for (uint32_t word = 0; word < (1u << n); ++word) {
                    if (__builtin_popcount(word) % 2 != 0) continue;
                    for (int32_t i = 0; i < n; ++i) {
                        const int32_t g = metric(word) - metric(best);
                        if (((word ^ best) >> i) & 1u && (gap[i] < 0 || g < gap[i])) gap[i] = g;
                    }
                }

                std::vector<uint8_t> outHard = hard;
                std::vector<int32_t> outSoft = soft;
                uint8_t kept = 2, corrected = 2;
                DecodeParityWord(n, outHard.data(), outSoft.data(), &kept, &corrected);
                for (int32_t i = 0; i < n; ++i) {
                    ASSERT_EQ(outHard[i], (best >> i) & 1u) << "n = " << n << ", i = " << i << ", seed " << seed;
                }
                ASSERT_EQ(outSoft, gap) << "n = " << n << ", span " << span << ", seed " << seed;
                ASSERT_EQ(kept, best == entry ? 1 : 0) << "n = " << n;
                ASSERT_EQ(corrected, best == entry ? 0 : 1) << "n = " << n;
            }
        }
    }
}

}  // namespace
