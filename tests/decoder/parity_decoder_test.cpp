// Single parity check decoder: hand-worked words, and every parity codeword
// of short lengths scored against random entry words.
#include "decoder/parity_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "decoder/word_steps.h"
#include "trial_count.h"

namespace {

struct Decoded {
    std::vector<uint8_t> hard;
    std::vector<int32_t> soft;
    uint8_t kept = 2, corrected = 2;
    bool operator==(const Decoded& o) const {
        return std::tie(hard, soft, kept, corrected) == std::tie(o.hard, o.soft, o.kept, o.corrected);
    }
};

Decoded Decode(Decoded word) {
    DecodeParityWord(static_cast<int32_t>(word.hard.size()), word.hard.data(), word.soft.data(),
                     &word.kept, &word.corrected);
    return word;
}

TEST(ParityDecoder, HandWorkedWords) {
    const struct {
        const char* what;
        Decoded entry, expected;
    } cases[] = {
        {"failed parity: least reliable bit 1 inverted",
         {{1, 0, 1, 1}, {5, 2, 9, 7}}, {{1, 1, 1, 1}, {3, 3, 7, 5}, 0, 1}},
        {"parity holds: each gap adds the least reliability",
         {{1, 0, 1, 0}, {5, 2, 9, 7}}, {{1, 0, 1, 0}, {7, 7, 11, 9}, 1, 0}},
        {"n = 2, failed: both gaps are the difference", {{0, 1}, {30, 12}}, {{0, 0}, {18, 18}, 0, 1}},
        {"n = 2, failed, equal reliabilities: position 0", {{1, 0}, {9, 9}}, {{0, 0}, {0, 0}, 0, 1}},
        {"n = 2, holds", {{1, 1}, {30, 12}}, {{1, 1}, {42, 42}, 1, 0}},
    };
    for (const auto& c : cases) EXPECT_TRUE(Decode(c.entry) == c.expected) << c.what;
}

// The decision is the best codeword, ties going to the fewest inversions and
// then to the lowest inverted position; each gap is the distance to the best
// codeword with the other bit.
TEST(ParityDecoder, AgreesWithExhaustiveSearch) {
    const uint32_t seed = TestSeed(99u);
    std::mt19937 rng(seed);
    for (int32_t n = 2; n <= 10; ++n) {
        for (int32_t span : {1, 3, SoftLimit}) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < RandomTrials(200); ++trial) {
                Decoded entry{std::vector<uint8_t>(n), std::vector<int32_t>(n)};
                uint32_t bits = 0;
                for (int32_t i = 0; i < n; ++i) {
                    entry.hard[i] = static_cast<uint8_t>(rng() & 1u);
                    entry.soft[i] = reliability(rng);
                    bits |= uint32_t{entry.hard[i]} << i;
                }
                const auto metric = [&](uint32_t word) {
                    int32_t sum = 0;
                    for (int32_t i = 0; i < n; ++i) sum += ((word ^ bits) >> i) & 1u ? entry.soft[i] : 0;
                    return sum;
                };
                const auto rank = [&](uint32_t word) {  // metric, inversions, lowest inversion
                    const uint32_t flips = word ^ bits;
                    return std::make_tuple(metric(word), __builtin_popcount(flips),
                                           flips ? __builtin_ctz(flips) : n);
                };
                uint32_t best = 0;
                for (uint32_t word = 0; word < (1u << n); ++word) {
                    if (__builtin_popcount(word) % 2 == 0 && rank(word) < rank(best)) best = word;
                }
                Decoded expected{std::vector<uint8_t>(n), std::vector<int32_t>(n, -1), best == bits,
                                 best != bits};
                for (uint32_t word = 0; word < (1u << n); ++word) {
                    if (__builtin_popcount(word) % 2 != 0) continue;
                    const int32_t gap = metric(word) - metric(best);
                    for (int32_t i = 0; i < n; ++i) {
                        int32_t& slot = expected.soft[i];
                        if (((word ^ best) >> i) & 1u && (slot < 0 || gap < slot)) slot = gap;
                    }
                }
                for (int32_t i = 0; i < n; ++i) expected.hard[i] = (best >> i) & 1u;
                ASSERT_TRUE(Decode(entry) == expected) << "n " << n << " span " << span << " seed " << seed;
            }
        }
    }
}

}  // namespace
