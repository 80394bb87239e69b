// Component encoders: worked examples, code-word properties on every length,
// exhaustive minimum weight where the code is small.
#include "encoder/hamming_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "code_word_check.h"

namespace {

using encoder_test::DivisibleByGenerator;
using encoder_test::EvenWeight;
using encoder_test::TestSeed;

constexpr int32_t kLengths[] = {8, 16, 32, 64, 128, 256};

int32_t InformationLength(int32_t n) { return n - encoder_test::Log2OfLength(n) - 1; }

// Hand-worked divisions by x^3+x+1 and x^4+x+1: the systematic code word of
// a single information bit is x^(n-2-i) plus its remainder, then the
// overall parity.
struct WorkedExample {
    int32_t n;
    std::vector<int32_t> word;  // information followed by the expected rest
};

TEST(HammingEncoder, WorkedExamples) {
    const std::vector<WorkedExample> examples = {
        {8, {1, 0, 0, 0, 1, 0, 1, 1}},
        {8, {0, 0, 0, 1, 0, 1, 1, 1}},
        {8, {1, 1, 1, 1, 1, 1, 1, 1}},
        {16, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1}},
        {16, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1}},
    };
    for (const WorkedExample& e : examples) {
        const int32_t k = InformationLength(e.n);
        std::vector<int32_t> word(256, 1);  // stale parity positions must be overwritten
        std::copy(e.word.begin(), e.word.begin() + k, word.begin());
        std::vector<int32_t> parity(10, 0);
        EncodeHammingWord(e.n, word.data(), parity.data());
        word.resize(e.n);
        EXPECT_EQ(word, e.word) << "n=" << e.n;
    }
}

TEST(HammingEncoder, RandomWordsOfEveryLengthAreCodeWords) {
    const uint32_t seed = TestSeed();
    std::mt19937 rng(seed);
    std::bernoulli_distribution bit(0.5);
    for (int32_t n : kLengths) {
        const int32_t m = encoder_test::Log2OfLength(n);
        const int32_t k = InformationLength(n);
        for (int32_t trial = 0; trial < 200; ++trial) {
            SCOPED_TRACE(testing::Message() << "seed=" << seed << " n=" << n << " trial=" << trial);
            std::vector<int32_t> word(256, 0);
            for (int32_t i = 0; i < k; ++i) word[i] = bit(rng);
            const std::vector<int32_t> information(word.begin(), word.begin() + k);

            // The bare divider clears all 10 stages, not only the m it uses.
            std::vector<int32_t> parity(12, 5);
            EncodeHammingParity(n, word.data(), parity.data());
            for (int32_t j = m; j < 10; ++j) ASSERT_EQ(parity[j], 0) << "stage " << j;

            std::vector<int32_t> complete = word;
            EncodeHammingWord(n, complete.data(), parity.data());
            complete.resize(n);
            ASSERT_TRUE(std::equal(information.begin(), information.end(), complete.begin()));
            for (int32_t j = 0; j < m; ++j) ASSERT_EQ(complete[k + j], parity[j]);
            ASSERT_TRUE(EvenWeight(complete));
            ASSERT_TRUE(DivisibleByGenerator(n, complete));

            // A single error is never a multiple of a primitive g(x) within
            // its period; this also keeps the divisibility check honest.
            complete[rng() % (n - 1)] ^= 1;
            ASSERT_FALSE(DivisibleByGenerator(n, complete));
        }
    }
}

// Every one of the 2^k messages, with a mask proving each code word is new:
// distinct words and minimum weight 4 make the code's distance 4.
TEST(HammingEncoder, ExhaustiveSmallCodesHaveDistanceFour) {
    for (int32_t n : {8, 16}) {
        const int32_t k = InformationLength(n);
        std::vector<bool> seen(size_t{1} << n, false);
        int32_t minimumWeight = n;
        for (uint32_t message = 0; message < (1u << k); ++message) {
            std::vector<int32_t> word(256, 0);
            std::vector<int32_t> parity(10, 0);
            for (int32_t i = 0; i < k; ++i) word[i] = (message >> (k - 1 - i)) & 1;
            EncodeHammingWord(n, word.data(), parity.data());
            uint32_t packed = 0;
            int32_t weight = 0;
            for (int32_t i = 0; i < n; ++i) {
                packed = (packed << 1) | static_cast<uint32_t>(word[i]);
                weight += word[i];
            }
            ASSERT_FALSE(seen[packed]) << "n=" << n << " message=" << message;
            seen[packed] = true;
            if (message != 0) minimumWeight = std::min(minimumWeight, weight);
        }
        EXPECT_EQ(minimumWeight, 4) << "n=" << n;
    }
}

TEST(ParityEncoder, LastPositionMakesWeightEven) {
    const uint32_t seed = TestSeed();
    std::mt19937 rng(seed);
    std::bernoulli_distribution bit(0.5);
    for (int32_t n = 2; n <= 256; ++n) {
        std::vector<int32_t> word(n);
        for (int32_t i = 0; i < n - 1; ++i) word[i] = bit(rng);
        word[n - 1] = 7;
        const std::vector<int32_t> information(word.begin(), word.end() - 1);
        EncodeParityWord(n, word.data());
        EXPECT_TRUE(std::equal(information.begin(), information.end(), word.begin()));
        EXPECT_TRUE(encoder_test::AllBits(word) && EvenWeight(word))
            << "seed=" << seed << " n=" << n;
    }
}

}  // namespace
