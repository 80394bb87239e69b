// The bit-packed encoder, from bytes and from packed bits, against the plain one, block for block and bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "encoder/packed_product_encoder.h"
#include "encoder/product_encoder.h"
#include "encoder_geometries.h"
#include "trial_count.h"

using namespace tpc;

namespace {

// Each geometry in both emission orders, several random blocks through one encoder object (rows left over from the
// previous block would show). The plain encoder gets a fresh zeroed scratch per block, so the layers a kz == 1 block
// does not encode are 0 there as well.
TEST(PackedProductEncoder, EqualsThePlainEncoder) {
    const uint32_t seed = TestSeed(20250301u);
    std::mt19937 rng(seed);
    for (const ProductCode& g : kEncoderGeometries) {
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
                // The same bits packed, with the bits past K set: they must be ignored.
                std::vector<uint64_t> words(g.K() / 64 + 1, ~uint64_t{0});
                for (int32_t j = 0; j < g.K(); ++j) {
                    if (info[j] == 0) words[j / 64] &= ~(uint64_t{1} << (j % 64));
                }
                std::vector<uint8_t> fromWords(g.N());
                packed.EncodePacked(words.data(), fromWords.data());
                ASSERT_EQ(fromWords, code) << "packed input, block " << trial;
            }
        }
    }
}

}  // namespace
