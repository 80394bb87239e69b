// Product block encoder: the block equals an encoding in the opposite axis
// order with components from the definition, the helical output is the plain
// output read with step s, input bits are truncated, and stale arrays never
// leak through (every array starts stale, so an all-zero case adds nothing).
#include "encoder/product_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <ostream>
#include <random>
#include <vector>

#include "encoder/helical_map.h"
#include "hamming_reference.h"
#include "trial_count.h"

namespace {

constexpr int32_t kStale = 7;  // prefill of the caller's arrays; never a bit

struct Geometry {
    int32_t nx, ny, nz, kx, ky, kz;

    int32_t BlockSize() const { return nx * ny * nz; }
    int32_t InfoSize() const { return kx * ky * kz; }
    bool ThreeDimensional() const { return kz >= 2; }
    int32_t EncodedLayers() const { return ThreeDimensional() ? nz : 1; }
    int32_t Index(int32_t x, int32_t y, int32_t z) const { return x + nx * y + nx * ny * z; }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.nx << "x" << g.ny << "x" << g.nz << " k=" << g.kx << "," << g.ky << ","
               << g.kz;
}

// The caller-owned arrays of one encoder, prefilled with stale values as a
// node's arrays would be after earlier blocks.
struct EncoderArrays {
    explicit EncoderArrays(const Geometry& g)
        : output(g.BlockSize(), kStale), infoGrid(g.BlockSize(), kStale),
          codeBlock(g.BlockSize(), kStale), word(256, kStale), parity(70, kStale) {}

    void Encode(const Geometry& g, uint32_t interleave, const std::vector<double>& input) {
        EncodeProductBlock(interleave, input.data(), output.data(), infoGrid.data(),
                           codeBlock.data(), word.data(), parity.data(), g.nx, g.ny, g.nz, g.kx,
                           g.ky, g.kz, g.BlockSize());
    }

    std::vector<int32_t> output, infoGrid, codeBlock, word, parity;
};

std::vector<double> RandomInput(const Geometry& g, std::mt19937& rng) {
    std::bernoulli_distribution bit(0.5);
    std::vector<double> input(g.InfoSize());
    for (double& v : input) v = bit(rng) ? 1.0 : 0.0;
    return input;
}

// Completes one line in place with the component code of its axis, built
// from the definition.
void CompleteLine(std::vector<int32_t>& block, int32_t first, int32_t stride, int32_t n,
                  int32_t k) {
    std::vector<int32_t> word(n, 0);
    for (int32_t t = 0; t < k; ++t) word[t] = block[first + stride * t];
    if (n - k == 1) {
        for (int32_t t = 0; t < k; ++t) word[n - 1] ^= word[t];
    } else {
        word = reference::Encode(n, word);
    }
    for (int32_t t = 0; t < n; ++t) block[first + stride * t] = word[t];
}

// Reference: the same product code built in the opposite order (Z lines,
// then Y columns, then X rows). A linear product code has one code word per
// information grid, so both orders must agree bit for bit.
std::vector<int32_t> ReverseOrderEncode(const Geometry& g, const std::vector<double>& input) {
    std::vector<int32_t> block(g.BlockSize(), 0);
    int32_t j = 0;
    for (int32_t z = 0; z < g.kz; ++z)
        for (int32_t y = 0; y < g.ky; ++y)
            for (int32_t x = 0; x < g.kx; ++x) block[g.Index(x, y, z)] = input[j++] != 0.0;
    const int32_t layers = g.EncodedLayers();
    if (g.ThreeDimensional()) {
        for (int32_t y = 0; y < g.ky; ++y)
            for (int32_t x = 0; x < g.kx; ++x)
                CompleteLine(block, g.Index(x, y, 0), g.nx * g.ny, g.nz, g.kz);
    }
    for (int32_t z = 0; z < layers; ++z)
        for (int32_t x = 0; x < g.kx; ++x) CompleteLine(block, g.Index(x, 0, z), g.nx, g.ny, g.ky);
    for (int32_t z = 0; z < layers; ++z)
        for (int32_t y = 0; y < g.ny; ++y) CompleteLine(block, g.Index(0, y, z), 1, g.nx, g.kx);
    return block;
}

uint64_t TestHelicalStep(const Geometry& g) {
    return g.ThreeDimensional() ? uint64_t(g.nx) * g.ny + g.nx + 1 : uint64_t(g.nx) + 1;
}

// Hamming axes, parity axes (length 2 included), mixtures, 3D with each
// axis a parity code, 2D with a second layer left alone, a 256-long Z line,
// and two blocks whose i*s passes 2^32: one with N a power of two, where
// wrapping at 32 bits would go unnoticed, and one with N odd, where it would
// not.
const Geometry kGeometries[] = {
    {64, 64, 1, 57, 57, 1},   {8, 16, 1, 4, 11, 1},     {5, 8, 1, 4, 4, 1},
    {12, 9, 1, 11, 8, 1},     {2, 8, 1, 1, 4, 1},       {256, 4, 1, 247, 3, 1},
    {8, 8, 2, 4, 4, 1},       {8, 8, 8, 4, 4, 4},       {16, 8, 3, 11, 7, 2},
    {5, 16, 8, 4, 11, 4},     {32, 4, 16, 26, 3, 11},   {8, 2, 256, 4, 1, 247},
    {128, 2, 8, 120, 1, 4},   {256, 256, 8, 247, 247, 4}, {255, 255, 3, 254, 254, 2},
};

TEST(ProductEncoder, MatchesReverseOrderAndHelicalRead) {
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    for (const Geometry& g : kGeometries) {
        SCOPED_TRACE(testing::Message() << "seed=" << seed << " geometry " << g);
        EncoderArrays arrays(g);
        const std::vector<double> input = RandomInput(g, rng);
        std::vector<double> blurred = input;
        for (double& v : blurred) v += 0.999;  // input bits are truncated: 0.999 -> 0, 1.999 -> 1
        arrays.Encode(g, 0, blurred);
        const std::vector<int32_t>& block = arrays.codeBlock;
        ASSERT_EQ(arrays.output, block) << "plain emission is block order";

        const std::vector<int32_t> reference = ReverseOrderEncode(g, input);
        const int32_t encodedSize = g.nx * g.ny * g.EncodedLayers();
        ASSERT_TRUE(std::equal(block.begin(), block.begin() + encodedSize, reference.begin()));

        if (!g.ThreeDimensional()) {
            // kz == 1: the layers above 0 are not part of the encoded block.
            for (int32_t i = encodedSize; i < g.BlockSize(); ++i) ASSERT_EQ(block[i], kStale);
        }

        // Interleaved: the same block read with step s, i*s formed in 64 bits.
        const std::vector<int32_t> plain = arrays.output;
        arrays.Encode(g, 1, blurred);
        const uint64_t step = TestHelicalStep(g);
        for (int32_t i = 0; i < g.BlockSize(); ++i)
            ASSERT_EQ(arrays.output[i], plain[(uint64_t(i) * step) % uint64_t(g.BlockSize())])
                << "output bit " << i;
    }
}

// Worked positions of the helical read: 8x8 with s = 9, a 5x8 block with
// s = 6, and the last bit of the 256x256x8 block with s = 65793.
TEST(HelicalMap, WorkedPositions) {
    const int32_t cases[][6] = {  // nx, ny, kz, N, i, position
        {8, 8, 1, 64, 1, 9}, {8, 8, 1, 64, 8, 8}, {5, 8, 1, 40, 7, 2},
        {256, 256, 4, 524288, 524287, 458495},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HelicalPosition(c[4], HelicalStep(c[0], c[1], c[2]), c[3]), c[5])
            << c[0] << "x" << c[1] << " i=" << c[4];
    }
}

}  // namespace
