// Component encoders: worked examples, and every length against the codeword
// built from the definition (every message where the code is small).
#include "encoder/hamming_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "hamming_reference.h"
#include "trial_count.h"

namespace {

// Hand-worked divisions by x^3+x+1 and x^4+x+1: the systematic codeword of
// a single information bit is x^(n-2-i) plus its remainder, then the parity.
TEST(HammingEncoder, WorkedExamples) {
    const std::vector<std::vector<int32_t>> words = {
        {1, 0, 0, 0, 1, 0, 1, 1},
        {0, 0, 0, 1, 0, 1, 1, 1},
        {1, 1, 1, 1, 1, 1, 1, 1},
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1},
        {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1},
    };
    for (const std::vector<int32_t>& expected : words) {
        const int32_t n = static_cast<int32_t>(expected.size());
        std::vector<int32_t> word(256, 1);  // stale parity positions must be overwritten
        std::copy(expected.begin(), expected.begin() + reference::InformationLength(n), word.begin());
        std::vector<int32_t> parity(10, 0);
        EncodeHammingWord(n, word.data(), parity.data());
        word.resize(n);
        EXPECT_EQ(word, expected) << "n=" << n;
        EXPECT_EQ(reference::Encode(n, expected), expected) << "the reference, n=" << n;
    }
}

TEST(HammingEncoder, EqualsTheDefinitionOnEveryLength) {
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    for (int32_t n : reference::kHammingLengths) {
        const int32_t k = reference::InformationLength(n);
        const uint32_t trials = k <= 11 ? 1u << k : static_cast<uint32_t>(RandomTrials(200));
        for (uint32_t trial = 0; trial < trials; ++trial) {
            std::vector<int32_t> word(256, 9);
            for (int32_t i = 0; i < k; ++i) word[i] = k <= 11 ? (trial >> i) & 1 : rng() & 1;
            const std::vector<int32_t> expected = reference::Encode(n, word);
            std::vector<int32_t> parity(10, 0);
            EncodeHammingWord(n, word.data(), parity.data());
            word.resize(n);
            ASSERT_EQ(word, expected) << "n=" << n << " trial " << trial << " seed " << seed;
        }
    }
}

TEST(ParityEncoder, LastPositionMakesWeightEven) {
    std::mt19937 rng(TestSeed(20250117u));
    for (int32_t n = 2; n <= 256; ++n) {
        std::vector<int32_t> word(n, 7);
        int32_t ones = 0;
        for (int32_t i = 0; i < n - 1; ++i) ones += word[i] = rng() & 1;
        std::vector<int32_t> expected = word;
        expected[n - 1] = ones % 2;
        EncodeParityWord(n, word.data());
        EXPECT_EQ(word, expected) << "n=" << n;
    }
}

}  // namespace
