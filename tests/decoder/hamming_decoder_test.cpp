#include "decoder/hamming_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "decoder/word_steps.h"
#include "encoder/hamming_encoder.h"
#include "tests/decoder/component_word_support.h"

namespace {

using component_test::kHammingLengths;

struct Decoded {
    std::vector<uint8_t> hard;
    std::vector<int32_t> soft;
    uint8_t kept = 2;
    uint8_t corrected = 2;
};

Decoded RunDecoder(int32_t n, std::vector<uint8_t> hard, std::vector<int32_t> soft) {
    Decoded out{std::move(hard), std::move(soft), 2, 2};
    DecodeHammingWord(n, out.hard.data(), out.soft.data(), &out.kept, &out.corrected);
    return out;
}

std::string Describe(const std::vector<uint8_t>& hard, const std::vector<int32_t>& soft) {
    std::string text = "hard/soft";
    for (size_t i = 0; i < hard.size(); ++i) text += " " + std::to_string(hard[i]) + "/" + std::to_string(soft[i]);
    return text;
}

// Reference decoder written from what the decoder is meant to return: the
// best of the algebraic decision D and of every codeword that inverts the two
// least reliable positions of D and two more, found by syndrome search over
// all pairs; reliabilities as the smallest metric gap to an examined codeword
// with the other bit.
Decoded ReferenceDecode(int32_t n, const std::vector<uint8_t>& hard, const std::vector<int32_t>& soft,
                        const std::vector<int32_t>& unitSyndrome) {
    const int32_t syndrome = component_test::ReferenceSyndrome(n, hard.data());
    std::vector<uint8_t> d = hard;
    if (syndrome != 0) {
        const int32_t e = static_cast<int32_t>(
            std::find(unitSyndrome.begin(), unitSyndrome.end() - 1, syndrome) - unitSyndrome.begin());
        d[e] ^= 1;
    }
    if (std::accumulate(d.begin(), d.end(), 0) % 2 != 0) d[n - 1] ^= 1;

    std::vector<int32_t> signedSoft(n);
    for (int32_t i = 0; i < n; ++i) signedSoft[i] = d[i] == hard[i] ? soft[i] : -soft[i];
    std::vector<int32_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int32_t x, int32_t y) { return signedSoft[x] < signedSoft[y]; });
    int32_t p1 = order[0], p2 = order[1];
    if (p1 == n - 1) std::swap(p1, p2);

    // Table order: by the smaller of the two positions after moving p1 to 0.
    auto rotated = [&](int32_t i) { return i == n - 1 ? i : (i - p1 + n - 1) % (n - 1); };
    std::vector<std::pair<int32_t, std::vector<uint8_t>>> competitors;
    for (int32_t a = 0; a < n; ++a) {
        for (int32_t b = a + 1; b < n; ++b) {
            if (a == p1 || a == p2 || b == p1 || b == p2) continue;
            if ((unitSyndrome[p1] ^ unitSyndrome[p2] ^ unitSyndrome[a] ^ unitSyndrome[b]) != 0) continue;
            std::vector<uint8_t> y = d;
            for (int32_t p : {p1, p2, a, b}) y[p] ^= 1;
            competitors.emplace_back(std::min(rotated(a), rotated(b)), std::move(y));
        }
    }
    EXPECT_EQ(static_cast<int32_t>(competitors.size()), (n - 2) / 2) << "n = " << n;
    std::stable_sort(competitors.begin(), competitors.end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });

    auto metric = [&](const std::vector<uint8_t>& y) {
        int32_t sum = 0;
        for (int32_t i = 0; i < n; ++i) sum += y[i] != hard[i] ? soft[i] : 0;
        return sum;
    };
    std::vector<std::vector<uint8_t>> examined{d};
    for (auto& c : competitors) examined.push_back(c.second);
    std::vector<int32_t> metrics;
    for (const auto& y : examined) metrics.push_back(metric(y));

    size_t winner = 0;  // strict comparison: D and earlier competitors win ties
    for (size_t c = 1; c < examined.size(); ++c) {
        if (metrics[c] < metrics[winner]) winner = c;
    }

    Decoded out{examined[winner], std::vector<int32_t>(n, -1), 2, 2};
    for (int32_t i = 0; i < n; ++i) {
        for (size_t c = 0; c < examined.size(); ++c) {
            if (examined[c][i] == out.hard[i]) continue;
            const int32_t gap = metrics[c] - metrics[winner];
            if (out.soft[i] < 0 || gap < out.soft[i]) out.soft[i] = gap;
        }
    }
    out.kept = winner == 0 ? 1 : 0;
    out.corrected = (syndrome == 0 && winner == 0) ? 0 : 1;
    return out;
}

struct LiteralCase {
    const char* what;
    std::vector<uint8_t> hard;
    std::vector<int32_t> soft;
    std::vector<uint8_t> expectedHard;
    std::vector<int32_t> expectedSoft;
    uint8_t kept, corrected;
};

// Hand-worked words for n = 8, g(x) = x^3 + x + 1.
TEST(HammingDecoder, WorkedWordsOfLengthEight) {
    const std::vector<uint8_t> zeros(8, 0);
    const std::vector<int32_t> rising = {50, 60, 70, 80, 90, 100, 110, 120};
    const LiteralCase cases[] = {
        {"double error forced to a codeword, competitor (5, 6) wins",
         {1, 1, 0, 1, 0, 1, 0, 0}, {28, 15, 6, 21, 4, 10, 3, 20},
         {1, 1, 0, 1, 0, 0, 1, 0}, {21, 6, 21, 28, 6, 6, 6, 28}, 0, 1},
        {"only the parity bit wrong: least reliable is n-1, swapped",
         {0, 0, 0, 0, 0, 0, 0, 1}, rising, zeros, {80, 90, 80, 80, 130, 90, 130, 80}, 1, 0},
        {"nonzero syndrome with even parity, competitor inverting 0 and 1 wins",
         {1, 1, 0, 0, 0, 0, 0, 0}, rising, zeros, {50, 50, 50, 80, 50, 110, 80, 110}, 0, 1},
        {"single error at a cyclic position",
         {1, 0, 0, 0, 0, 0, 0, 0}, rising, zeros, {170, 170, 170, 200, 170, 230, 200, 230}, 1, 1},
        {"competitor equal to D: D stays",
         zeros, {0, 0, 0, 5, 0, 5, 5, 5}, zeros, {0, 0, 0, 10, 0, 10, 10, 10}, 1, 0},
        {"three equal competitors: the first pair of the row wins",
         {1, 0, 0, 0, 0, 0, 0, 0}, {50, 1, 1, 1, 1, 1, 1, 1},
         {1, 1, 1, 0, 1, 0, 0, 0}, {47, 47, 0, 0, 0, 0, 0, 0}, 0, 1},
    };
    for (const LiteralCase& c : cases) {
        const Decoded out = RunDecoder(8, c.hard, c.soft);
        EXPECT_EQ(out.hard, c.expectedHard) << c.what;
        EXPECT_EQ(out.soft, c.expectedSoft) << c.what;
        EXPECT_EQ(std::make_pair(out.kept, out.corrected), std::make_pair(c.kept, c.corrected)) << c.what;
    }
}

// The literal rotation; every other origin is exercised through the decoder
// comparison below.
TEST(HammingDecoder, RotationMovesOriginToZeroAndBack) {
    const std::vector<int32_t> soft = {28, 15, 6, -21, 4, 10, 3, -20};
    std::vector<int32_t> rotated(8), back(8);
    RotateSoft(8, soft.data(), 3, rotated.data());
    EXPECT_EQ(rotated, (std::vector<int32_t>{-21, 4, 10, 3, 28, 15, 6, -20}));
    UnrotateSoft(8, rotated.data(), 3, back.data());
    EXPECT_EQ(back, soft);
}

// The decoder against the reference on noisy encoder codewords. The narrow
// reliability ranges force ties between p1/p2 candidates, between D and
// competitors and among competitors.
TEST(HammingDecoder, AgreesWithReferenceOnRandomWords) {
    const uint32_t seed = component_test::TestSeed(12345u);
    std::mt19937 rng(seed);
    const int32_t spans[] = {1, 3, 40, SoftLimit};
    for (int32_t n : kHammingLengths) {
        const std::vector<int32_t> unitSyndrome = component_test::ReferenceUnitSyndromes(n);
        const int32_t k = n - component_test::OrderOf(n) - 1;
        const int trials = n <= 64 ? 1500 : 300;
        int competitorWins = 0;
        for (int32_t span : spans) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < trials; ++trial) {
                std::vector<int32_t> word(n), parity(16);
                for (int32_t i = 0; i < k; ++i) word[i] = static_cast<int32_t>(rng() & 1u);
                EncodeHammingWord(n, word.data(), parity.data());
                std::vector<uint8_t> hard(word.begin(), word.end());
                const int errors = static_cast<int>(rng() % 5);
                for (int e = 0; e < errors; ++e) hard[rng() % n] ^= 1;
                std::vector<int32_t> soft(n);
                for (int32_t& s : soft) s = reliability(rng);

                const Decoded expected = ReferenceDecode(n, hard, soft, unitSyndrome);
                const Decoded actual = RunDecoder(n, hard, soft);
                competitorWins += expected.kept == 0;
                const auto where = [&] { return "n = " + std::to_string(n) + ", seed " + std::to_string(seed) + ", " + Describe(hard, soft); };
                ASSERT_TRUE(component_test::IsHammingCodeword(n, actual.hard.data())) << where();
                ASSERT_EQ(actual.hard, expected.hard) << where();
                ASSERT_EQ(actual.soft, expected.soft) << where();
                ASSERT_EQ(std::make_pair(actual.kept, actual.corrected), std::make_pair(expected.kept, expected.corrected)) << where();
            }
        }
        // The comparison is only worth something if competitors do win.
        EXPECT_GT(competitorWins, trials / 20) << "n = " << n;
    }
}

}  // namespace
