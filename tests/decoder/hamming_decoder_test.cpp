// Extended Hamming soft decoder: hand-worked words of length 8, and every
// length against the reference search on noisy codewords.
#include "decoder/hamming_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "decoder/word_steps.h"
#include "hamming_reference.h"
#include "trial_count.h"

namespace {

using reference::kHammingLengths;

using Decoded = reference::SoftWord;

Decoded RunDecoder(int32_t n, std::vector<uint8_t> hard, std::vector<int32_t> soft) {
    Decoded out{std::move(hard), std::move(soft)};
    DecodeHammingWord(n, out.hard.data(), out.soft.data(), &out.kept, &out.corrected);
    return out;
}

std::string Describe(const std::vector<uint8_t>& hard, const std::vector<int32_t>& soft) {
    std::string text = "hard/soft";
    for (size_t i = 0; i < hard.size(); ++i)
        text += " " + std::to_string(hard[i]) + "/" + std::to_string(soft[i]);
    return text;
}

bool Same(const Decoded& x, const Decoded& y) {
    return x.hard == y.hard && x.soft == y.soft && x.kept == y.kept && x.corrected == y.corrected;
}

// Hand-worked words for n = 8, g(x) = x^3 + x + 1; the reference must give
// them too.
TEST(HammingDecoder, WorkedWordsOfLengthEight) {
    const std::vector<uint8_t> zeros(8, 0);
    const std::vector<int32_t> rising = {50, 60, 70, 80, 90, 100, 110, 120};
    const struct {
        const char* what;
        std::vector<uint8_t> hard;
        std::vector<int32_t> soft;
        Decoded expected;
    } cases[] = {
        {"double error forced to a codeword, competitor (5, 6) wins",
         {1, 1, 0, 1, 0, 1, 0, 0}, {28, 15, 6, 21, 4, 10, 3, 20},
         {{1, 1, 0, 1, 0, 0, 1, 0}, {21, 6, 21, 28, 6, 6, 6, 28}, 0, 1}},
        {"only the parity bit wrong: least reliable is n-1, swapped",
         {0, 0, 0, 0, 0, 0, 0, 1}, rising, {zeros, {80, 90, 80, 80, 130, 90, 130, 80}, 1, 0}},
        {"nonzero syndrome with even parity, competitor inverting 0 and 1 wins",
         {1, 1, 0, 0, 0, 0, 0, 0}, rising, {zeros, {50, 50, 50, 80, 50, 110, 80, 110}, 0, 1}},
        {"single error at a cyclic position",
         {1, 0, 0, 0, 0, 0, 0, 0}, rising, {zeros, {170, 170, 170, 200, 170, 230, 200, 230}, 1, 1}},
        {"competitor equal to D: D stays",
         zeros, {0, 0, 0, 5, 0, 5, 5, 5}, {zeros, {0, 0, 0, 10, 0, 10, 10, 10}, 1, 0}},
        {"three equal competitors: the first pair of the row wins",
         {1, 0, 0, 0, 0, 0, 0, 0}, {50, 1, 1, 1, 1, 1, 1, 1},
         {{1, 1, 1, 0, 1, 0, 0, 0}, {47, 47, 0, 0, 0, 0, 0, 0}, 0, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Same(RunDecoder(8, c.hard, c.soft), c.expected)) << c.what;
        EXPECT_TRUE(Same(reference::DecodeHamming(8, c.hard, c.soft), c.expected)) << "reference: " << c.what;
    }
}

// The decoder against the reference on noisy codewords. The narrow
// reliability ranges force ties between p1/p2 candidates, between D and
// competitors and among competitors.
TEST(HammingDecoder, AgreesWithReferenceOnRandomWords) {
    const uint32_t seed = TestSeed(12345u);
    std::mt19937 rng(seed);
    for (int32_t n : kHammingLengths) {
        const int32_t k = reference::InformationLength(n);
        const int trials = RandomTrials(n <= 64 ? 1500 : 300);
        int competitorWins = 0;
        for (int32_t span : {1, 3, 40, SoftLimit}) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < trials; ++trial) {
                std::vector<int32_t> info(k);
                for (int32_t& bit : info) bit = static_cast<int32_t>(rng() & 1u);
                const std::vector<int32_t> word = reference::Encode(n, info);
                std::vector<uint8_t> hard(word.begin(), word.end());
                for (int errors = static_cast<int>(rng() % 5); errors > 0; --errors) hard[rng() % n] ^= 1;
                std::vector<int32_t> soft(n);
                for (int32_t& s : soft) s = reliability(rng);

                const Decoded expected = reference::DecodeHamming(n, hard, soft);
                const Decoded actual = RunDecoder(n, hard, soft);
                competitorWins += expected.kept == 0;
                ASSERT_TRUE(Same(actual, expected))
                    << "n = " << n << ", seed " << seed << ", " << Describe(hard, soft);
            }
        }
        // The comparison is only worth something if competitors do win.
        EXPECT_GT(competitorWins, trials / 20) << "n = " << n;
    }
}

}  // namespace
