// Encoders: every component length against the codeword from the definition, and the product
// block against an encoding in the opposite axis order, plain and read helically.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "encoder/hamming_encoder.h"
#include "encoder/product_encoder.h"
#include "encoder_geometries.h"
#include "hamming_reference.h"
#include "trial_count.h"

using namespace tpc;

namespace {

constexpr int32_t kStale = 7;  // prefill of the caller's arrays; never a bit

// Hand-worked divisions by x^3+x+1 and x^4+x+1 anchor the reference: the codeword of a single information bit is
// x^(n-2-i) plus its remainder, then the parity. The encoder must then equal the reference on every message of the
// short codes and on random messages of the long ones.
TEST(HammingEncoder, EqualsTheDefinitionOnEveryLength) {
    const std::vector<std::vector<int32_t>> worked = {
        {1, 0, 0, 0, 1, 0, 1, 1}, {0, 0, 0, 1, 0, 1, 1, 1}, {1, 1, 1, 1, 1, 1, 1, 1},
        {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1}, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1},
    };
    for (const auto& word : worked) EXPECT_EQ(reference::Encode(static_cast<int32_t>(word.size()), word), word);
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    for (int32_t n : reference::kHammingLengths) {
        const int32_t k = reference::InformationLength(n);
        const uint32_t trials = k <= 11 ? 1u << k : static_cast<uint32_t>(RandomTrials(200));
        for (uint32_t trial = 0; trial < trials; ++trial) {
            std::vector<int32_t> word(256, kStale), parity(10, kStale);
            for (int32_t i = 0; i < k; ++i) word[i] = k <= 11 ? (trial >> i) & 1 : rng() & 1;
            const std::vector<int32_t> expected = reference::Encode(n, word);
            EncodeHammingWord(n, word.data(), parity.data());
            word.resize(n);
            ASSERT_EQ(word, expected) << "n=" << n << " trial " << trial << " seed " << seed;
        }
    }
}


// A linear product code has one codeword per information grid, so encoding Z lines, then Y columns, then X rows with
// the component codes built from their definition must agree with the encoder bit for bit.
std::vector<int32_t> ReverseOrderEncode(const ProductCode& g, const std::vector<double>& input) {
    std::vector<int32_t> block(g.N(), 0);
    for (int32_t j = 0; j < g.kx * g.ky * g.kz; ++j)
        block[j % g.kx + g.nx * (j / g.kx % g.ky) + g.nx * g.ny * (j / (g.kx * g.ky))] = input[j] != 0.0;
    const auto complete = [&](int32_t first, int32_t stride, int32_t n, int32_t k) {
        std::vector<int32_t> word(n, 0);
        for (int32_t t = 0; t < k; ++t) word[t] = block[first + stride * t];
        for (int32_t t = 0; t < k && n - k == 1; ++t) word[n - 1] ^= word[t];
        if (n - k > 1) word = reference::Encode(n, word);
        for (int32_t t = 0; t < n; ++t) block[first + stride * t] = word[t];
    };
    const int32_t layers = g.kz >= 2 ? g.nz : 1, plane = g.nx * g.ny;
    for (int32_t i = 0; i < g.kx * g.ky && g.kz >= 2; ++i) complete(i % g.kx + g.nx * (i / g.kx), plane, g.nz, g.kz);
    for (int32_t i = 0; i < g.kx * layers; ++i) complete(i % g.kx + plane * (i / g.kx), g.nx, g.ny, g.ky);
    for (int32_t i = 0; i < g.ny * layers; ++i) complete(g.nx * i, 1, g.nx, g.kx);
    return block;
}

// Every geometry of kEncoderGeometries, encoded plain and read helically.
TEST(ProductEncoder, MatchesReverseOrderAndHelicalRead) {
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    for (const ProductCode& g : kEncoderGeometries) {
        SCOPED_TRACE(testing::Message() << "seed " << seed << ", block " << g.nx << "x" << g.ny << "x" << g.nz);
        std::vector<double> input(g.kx * g.ky * g.kz), blurred(input.size());
        for (size_t i = 0; i < input.size(); ++i)  // input bits are truncated: 0.999 -> 0, 1.999 -> 1
            input[i] = static_cast<double>(rng() & 1u), blurred[i] = input[i] + 0.999;
        std::vector<int32_t> plain(g.N(), kStale), helical(g.N(), kStale), grid(g.N(), kStale);
        std::vector<int32_t> block(g.N(), kStale), word(256, kStale), parity(70, kStale);
        const auto encode = [&](uint32_t interleave, std::vector<int32_t>& output) {
            ProductEncoder(g, interleave != 0, {grid.data(), block.data(), word.data(), parity.data()})
                .Encode(blurred.data(), output.data());
        };
        encode(0, plain);
        ASSERT_EQ(plain, block) << "plain emission is block order";
        const std::vector<int32_t> reference = ReverseOrderEncode(g, input);
        const int32_t encoded = g.kz >= 2 ? g.N() : g.nx * g.ny;
        ASSERT_TRUE(std::equal(block.begin(), block.begin() + encoded, reference.begin()));
        // kz == 1: the layers above 0 are not part of the encoded block.
        ASSERT_EQ(std::count(block.begin() + encoded, block.end(), kStale), g.N() - encoded);

        // Interleaved: the same block read with step s, i*s formed in 64 bits.
        encode(1, helical);
        const uint64_t step = g.kz >= 2 ? uint64_t(g.nx) * g.ny + g.nx + 1 : uint64_t(g.nx) + 1;
        for (int32_t i = 0; i < g.N(); ++i)
            ASSERT_EQ(helical[i], plain[(uint64_t(i) * step) % uint64_t(g.N())]) << "output bit " << i;
    }
}

}  // namespace
