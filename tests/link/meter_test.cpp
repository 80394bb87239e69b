// The meter's code word check: a block in error is undetected exactly when
// its decisions, in block order, are a code word; and over a noisy link of a
// small code both kinds of block error occur.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encoder/product_encoder.h"
#include "link/block_engine.h"
#include "link/meter.h"

namespace tpc::link {
namespace {

ProductCode Code(const std::string& text) {
    ProductCode code;
    EXPECT_TRUE(ParseProductCode(text, code).ok()) << text;
    return code;
}

// A code word in block order (the reference encoder, not the meter's) from
// random information bits, which `info` receives.
std::vector<int32_t> RandomCodeword(const ProductCode& code, uint32_t seed, std::vector<uint8_t>& info) {
    std::mt19937 random(seed);
    std::vector<double> input(static_cast<size_t>(code.K()));
    info.resize(input.size());
    for (size_t t = 0; t < input.size(); ++t) input[t] = info[t] = random() & 1;
    std::vector<int32_t> word(static_cast<size_t>(code.N()));
    ProductEncoder(code, false).Encode(input.data(), word.data());
    return word;
}

TEST(Meter, ABlockInErrorIsUndetectedExactlyWhenItIsACodeword) {
    for (const char* text : {"8,4x8,4", "16,11x8,7", "64,57x64,57", "8,4x16,11x4,3"}) {
        const ProductCode code = Code(text);
        std::vector<uint8_t> sent, other;
        const std::vector<int32_t> sentWord = RandomCodeword(code, 1, sent);
        const std::vector<int32_t> otherWord = RandomCodeword(code, 2, other);
        ASSERT_NE(sent, other) << text;
        std::vector<int32_t> parityFlipped = otherWord, infoFlipped = sentWord;
        parityFlipped[code.N() - 1] ^= 1;  // parity on parity (Z parity in three dimensions)
        infoFlipped[code.nx * (code.ky - 1) + code.kx - 1] ^= 1;  // the last information bit of layer 0
        const struct {
            const char* name;
            const std::vector<int32_t>& decisions;
            int64_t blockErrors, undetected;
        } cases[] = {
            {"the sent code word", sentWord, 0, 0},
            {"another code word", otherWord, 1, 1},
            {"another code word, one parity bit wrong", parityFlipped, 1, 0},
            {"the sent code word, one information bit wrong", infoFlipped, 1, 0},
        };
        CodewordCheck check(code);
        for (const auto& c : cases) {
            LinkCounts counts;
            CountBlock(code, c.decisions.data(), sent.data(), 3, check, counts);
            EXPECT_EQ(counts.blockErrors, c.blockErrors) << text << ": " << c.name;
            EXPECT_EQ(counts.undetectedBlocks, c.undetected) << text << ": " << c.name;
        }
    }
}

// A tiny code at a low Eb/N0 often decodes to another code word, and often
// to no code word; interleaving must not change which.
TEST(Meter, ANoisyLinkOfASmallCodeHasBothKindsOfBlockError) {
    for (const bool interleave : {false, true}) {
        LinkDescription description;
        description.code = Code("8,4x8,4");
        description.interleave = interleave;
        description.ebN0Db = 0;
        const LinkCounts counts = BlockEngine(description).run(2000, 5);
        EXPECT_GT(counts.undetectedBlocks, counts.blockErrors / 10) << interleave;
        EXPECT_LT(counts.undetectedBlocks, counts.blockErrors * 9 / 10) << interleave;
    }
}

}  // namespace
}  // namespace tpc::link
