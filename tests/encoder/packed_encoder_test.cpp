// The bit-packed encoder against the plain one, block for block and bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "encoder/packed_product_encoder.h"
#include "encoder/product_encoder.h"
#include "trial_count.h"

using namespace tpc;

namespace {

// Each geometry in both emission orders, several random blocks through one encoder object (rows left over from the
// previous block would show). The plain encoder gets a fresh zeroed scratch per block, so the layers a kz == 1 block
// does not encode are 0 there as well.
// Covered: every Hamming length, parity axes of odd length (5, 13) on X, Y and Z, rows of 1, 2 and 4 words with the
// parity bit of (65,64) alone in the second word, nz = 2 with kz = 1, and two helical reads that are not
// permutations: gcd(s, N) = 8 for 7x8 (s = 8) and 3 for 4x4x3 (s = 21).
TEST(PackedProductEncoder, EqualsThePlainEncoder) {
    const ProductCode geometries[] = {
        {64, 57, 64, 57, 1, 1}, {256, 247, 8, 4, 1, 1},  {16, 11, 128, 120, 1, 1}, {32, 26, 5, 4, 1, 1},
        {13, 12, 32, 26, 1, 1}, {65, 64, 13, 12, 1, 1},  {7, 6, 8, 4, 1, 1},       {8, 4, 8, 4, 2, 1},
        {5, 4, 64, 57, 2, 1},   {16, 11, 16, 11, 16, 11}, {5, 4, 8, 4, 13, 12},     {4, 3, 4, 3, 3, 2},
        {8, 4, 5, 4, 64, 57},   {128, 120, 32, 26, 3, 2}, {256, 247, 2, 1, 8, 4},
    };
    const uint32_t seed = TestSeed(20250301u);
    std::mt19937 rng(seed);
    for (const ProductCode& g : geometries) {
        ASSERT_TRUE(CheckProductCode(g).ok()) << g.ToString();
        for (uint32_t interleave : {0u, 1u}) {
            SCOPED_TRACE(testing::Message() << g.ToString() << " interleave " << interleave << " seed " << seed);
            PackedProductEncoder packed(g, interleave != 0);
            for (int trial = 0; trial < RandomTrials(3); ++trial) {
                std::vector<uint8_t> info(g.K()), code(g.N());
                std::vector<double> infoValues(g.K());
                for (int32_t j = 0; j < g.K(); ++j) info[j] = rng() & 1u, infoValues[j] = info[j];
                std::vector<int32_t> expected(g.N()), grid(g.N(), 0), block(g.N(), 0), word(256, 0), parity(10, 0);
                EncodeProductBlock(interleave, infoValues.data(), expected.data(), grid.data(), block.data(),
                                   word.data(), parity.data(), g.nx, g.ny, g.nz, g.kx, g.ky, g.kz, g.N());
                packed.Encode(info.data(), code.data());
                const auto differ = std::mismatch(code.begin(), code.end(), expected.begin(),
                                                  [](uint8_t a, int32_t b) { return a == b; });
                ASSERT_TRUE(differ.first == code.end()) << "block " << trial << ", first differing output bit "
                                                        << differ.first - code.begin();
            }
        }
    }
}

}  // namespace
