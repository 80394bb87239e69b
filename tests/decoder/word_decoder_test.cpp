// Component soft decoders: the extended Hamming decoder on hand-worked words and against the reference search on
// noisy codewords of every length, the parity decoder against every parity codeword of short lengths.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "decoder/hamming_decoder.h"
#include "decoder/parity_decoder.h"
#include "decoder/word_steps.h"
#include "hamming_reference.h"
#include "trial_count.h"

using namespace tpc;

namespace {

using Word = reference::SoftWord;
using WordDecoder = void (*)(int32_t, uint8_t*, int32_t*, uint8_t*, uint8_t*);

Word Decode(WordDecoder decode, Word word) {
    decode(static_cast<int32_t>(word.hard.size()), word.hard.data(), word.soft.data(), &word.kept, &word.corrected);
    return word;
}

bool Same(const Word& x, const Word& y) {
    return std::tie(x.hard, x.soft, x.kept, x.corrected) == std::tie(y.hard, y.soft, y.kept, y.corrected);
}

std::string Describe(const Word& w) {
    return "hard " + testing::PrintToString(std::vector<int>(w.hard.begin(), w.hard.end())) + " soft " +
           testing::PrintToString(w.soft);
}

// Hand-worked words for n = 8, g(x) = x^3 + x + 1; the reference must give them too.
TEST(HammingDecoder, WorkedWordsOfLengthEight) {
    const std::vector<uint8_t> zeros(8, 0);
    const std::vector<int32_t> rising = {50, 60, 70, 80, 90, 100, 110, 120};
    const struct { const char* what; Word entry, expected; } cases[] = {
        {"double error, competitor (5, 6) wins", {{1, 1, 0, 1, 0, 1, 0, 0}, {28, 15, 6, 21, 4, 10, 3, 20}},
         {{1, 1, 0, 1, 0, 0, 1, 0}, {21, 6, 21, 28, 6, 6, 6, 28}, 0, 1}},
        {"only the parity bit wrong: least reliable is n-1, swapped", {{0, 0, 0, 0, 0, 0, 0, 1}, rising},
         {zeros, {80, 90, 80, 80, 130, 90, 130, 80}, 1, 0}},
        {"nonzero syndrome with even parity, competitor inverting 0 and 1 wins", {{1, 1, 0, 0, 0, 0, 0, 0}, rising},
         {zeros, {50, 50, 50, 80, 50, 110, 80, 110}, 0, 1}},
        {"single error at a cyclic position", {{1, 0, 0, 0, 0, 0, 0, 0}, rising},
         {zeros, {170, 170, 170, 200, 170, 230, 200, 230}, 1, 1}},
        {"ties with D: D stays", {zeros, {0, 0, 0, 5, 0, 5, 5, 5}}, {zeros, {0, 0, 0, 10, 0, 10, 10, 10}, 1, 0}},
        {"three equal competitors: the row's first wins", {{1, 0, 0, 0, 0, 0, 0, 0}, {50, 1, 1, 1, 1, 1, 1, 1}},
         {{1, 1, 1, 0, 1, 0, 0, 0}, {47, 47, 0, 0, 0, 0, 0, 0}, 0, 1}},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(Same(Decode(DecodeHammingWord, c.entry), c.expected)) << c.what;
        EXPECT_TRUE(Same(reference::DecodeHamming(8, c.entry.hard, c.entry.soft), c.expected)) << "ref: " << c.what;
    }
}

// The narrow reliability ranges force ties between p1/p2 candidates, between D and competitors and among competitors.
TEST(HammingDecoder, AgreesWithReferenceOnRandomWords) {
    const uint32_t seed = TestSeed(12345u);
    std::mt19937 rng(seed);
    for (int32_t n : reference::kHammingLengths) {
        const int trials = RandomTrials(n <= 64 ? 1500 : 300);
        int competitorWins = 0;
        for (int32_t span : {1, 3, 40, SoftLimit}) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < trials; ++trial) {
                std::vector<int32_t> info(reference::InformationLength(n));
                for (int32_t& bit : info) bit = static_cast<int32_t>(rng() & 1u);
                const std::vector<int32_t> codeword = reference::Encode(n, info);
                Word entry{{codeword.begin(), codeword.end()}, std::vector<int32_t>(n)};
                for (int errors = static_cast<int>(rng() % 5); errors > 0; --errors) entry.hard[rng() % n] ^= 1;
                for (int32_t& s : entry.soft) s = reliability(rng);
                const Word expected = reference::DecodeHamming(n, entry.hard, entry.soft);
                competitorWins += expected.kept == 0;
                ASSERT_TRUE(Same(Decode(DecodeHammingWord, entry), expected))
                    << "n = " << n << ", seed " << seed << ", " << Describe(entry);
            }
        }
        // The comparison is only worth something if competitors do win.
        EXPECT_GT(competitorWins, trials / 20) << "n = " << n;
    }
}

// The decision is the best codeword, ties going to the fewest inversions and then to the lowest inverted position;
// each gap is the distance to the best codeword with the other bit.
TEST(ParityDecoder, AgreesWithExhaustiveSearch) {
    const uint32_t seed = TestSeed(99u);
    std::mt19937 rng(seed);
    for (int32_t n = 2; n <= 10; ++n) {
        for (int32_t span : {1, 3, SoftLimit}) {
            std::uniform_int_distribution<int32_t> reliability(0, span);
            for (int trial = 0; trial < RandomTrials(200); ++trial) {
                Word entry{std::vector<uint8_t>(n), std::vector<int32_t>(n)};
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
                    return std::make_tuple(metric(word), __builtin_popcount(flips), flips ? __builtin_ctz(flips) : n);
                };
                uint32_t best = 0;
                for (uint32_t word = 0; word < (1u << n); ++word)
                    if (__builtin_popcount(word) % 2 == 0 && rank(word) < rank(best)) best = word;
                Word expected{std::vector<uint8_t>(n), std::vector<int32_t>(n, -1), best == bits, best != bits};
                for (uint32_t word = 0; word < (1u << n); ++word) {
                    const int32_t gap = metric(word) - metric(best);
                    for (int32_t i = 0; i < n && __builtin_popcount(word) % 2 == 0; ++i)
                        if (((word ^ best) >> i) & 1u && (expected.soft[i] < 0 || gap < expected.soft[i]))
                            expected.soft[i] = gap;
                }
                for (int32_t i = 0; i < n; ++i) expected.hard[i] = (best >> i) & 1u;
                ASSERT_TRUE(Same(Decode(DecodeParityWord, entry), expected))
                    << "n " << n << " span " << span << " seed " << seed << " " << Describe(entry);
            }
        }
    }
}

}  // namespace
