#include "decoder/code_tables.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decoder/word_steps.h"
#include "encoder/hamming_encoder.h"
#include "tests/decoder/component_word_support.h"

namespace {

using component_test::kHammingLengths;

std::vector<int32_t> Prefix(const int32_t* table, int32_t count) {
    return std::vector<int32_t>(table, table + count);
}

std::vector<int32_t> Row(int32_t n, int32_t v) {
    return Prefix(CompletionPairTable(n) + v * (n - 2), n - 2);
}

// Published values for g(x) = x^3 + x + 1 and x^4 + x + 1, and the start of
// the n = 256 table.
TEST(CodeTables, KnownEntries) {
    EXPECT_EQ(Prefix(SyndromePositionTable(8), 8), (std::vector<int32_t>{7, 4, 5, 2, 6, 0, 3, 1}));
    EXPECT_EQ(Prefix(SyndromePositionTable(16), 9),
              (std::vector<int32_t>{15, 11, 12, 8, 13, 5, 9, 3, 14}));
    EXPECT_EQ(Prefix(SyndromePositionTable(256), 9),
              (std::vector<int32_t>{255, 247, 248, 223, 249, 199, 224, 51, 250}));

    EXPECT_EQ(Row(8, 1), (std::vector<int32_t>{2, 4, 3, 6, 5, 7}));
    EXPECT_EQ(Row(8, 7), (std::vector<int32_t>{1, 5, 2, 3, 4, 6}));
}

// S(i) against long division and against the decoder's register divider;
// the position table must invert S and send 0 to the parity position.
TEST(CodeTables, PositionTableInvertsSingleErrorSyndromes) {
    for (int32_t n : kHammingLengths) {
        const std::vector<int32_t> reference = component_test::ReferenceUnitSyndromes(n);
        const int32_t* positions = SyndromePositionTable(n);
        std::vector<uint8_t> unit(n, 0);
        EXPECT_EQ(positions[0], n - 1) << "n = " << n;
        for (int32_t i = 0; i < n; ++i) {
            EXPECT_EQ(SingleErrorSyndrome(n, i), reference[i]) << "n = " << n << ", i = " << i;
            unit[i] = 1;
            EXPECT_EQ(HammingSyndrome(n, unit.data()), reference[i]) << "n = " << n << ", i = " << i;
            unit[i] = 0;
            if (i <= n - 2) {
                EXPECT_EQ(positions[reference[i]], i) << "n = " << n << ", i = " << i;
            }
        }
    }
}

// Every row v >= 1 splits {1 .. n-1} \ {v} into ascending pairs with rising
// first elements, and each {0, v, a, b} inverted in an encoder codeword
// gives a codeword again.
TEST(CodeTables, PairRowsCompleteWeightFourCodewords) {
    const uint32_t seed = component_test::TestSeed(20240611u);
    std::mt19937 rng(seed);
    for (int32_t n : kHammingLengths) {
        const int32_t k = n - component_test::OrderOf(n) - 1;
        const int32_t* table = CompletionPairTable(n);
        std::vector<int32_t> word(n), parity(16);
        for (int32_t v = 1; v < n; ++v) {
            const int32_t* row = table + v * (n - 2);
            std::vector<int32_t> count(n, 0);
            count[0] = count[v] = 1;
            for (int32_t i = 0; i < k; ++i) word[i] = static_cast<int32_t>(rng() & 1u);
            EncodeHammingWord(n, word.data(), parity.data());

            int32_t previousFirst = 0;
            for (int32_t j = 0; j < (n - 2) / 2; ++j) {
                const int32_t a = row[2 * j], b = row[2 * j + 1];
                ASSERT_TRUE(a > previousFirst && a < b && b < n)
                    << "n = " << n << ", row " << v << ", pair " << j << " = (" << a << ", " << b << ")";
                previousFirst = a;
                ++count[a];
                ++count[b];
                std::vector<int32_t> flipped = word;
                for (int32_t p : {0, v, a, b}) flipped[p] ^= 1;
                EXPECT_TRUE(component_test::IsHammingCodeword(n, flipped.data()))
                    << "n = " << n << ", row " << v << ", pair (" << a << ", " << b << "), seed " << seed;
            }
            for (int32_t p = 0; p < n; ++p) EXPECT_EQ(count[p], 1) << "n = " << n << ", row " << v << ", p " << p;
        }
    }
}

}  // namespace
