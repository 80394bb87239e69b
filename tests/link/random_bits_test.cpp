// The block engine draws its source bits packed; the nodes' source draws them
// one at a time. Both must read the same stream.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "link/random_bits.h"

namespace tpc::link {
namespace {

// Chunks that start and end inside words and on their edges, after single
// draws and after a reseed in the middle of a word.
TEST(RandomBits, PackedDrawsReadTheStreamBitByBit) {
    const std::vector<std::vector<int64_t>> chunkings = {
        {64, 64, 128}, {1, 63, 65, 3249, 3249}, {3249, 7, 200, 64}, {5, 0, 59, 1, 130}};
    for (size_t c = 0; c < chunkings.size(); ++c) {
        RandomBits packed(99), single(99);
        // Leave the generators mid-word, then start again: nothing of the old word may show.
        for (int i = 0; i < 37; ++i) packed.next();
        packed.reseed(7 + c);
        single.reseed(7 + c);
        int64_t drawn = 0;
        for (int64_t count : chunkings[c]) {
            std::vector<uint64_t> words(static_cast<size_t>(count / 64 + 1), ~uint64_t{0});
            packed.fillWords(words.data(), count);
            for (int64_t i = 0; i < count; ++i) {
                ASSERT_EQ(static_cast<int>((words[i / 64] >> (i % 64)) & 1), single.next())
                    << "chunking " << c << ", bit " << drawn + i;
            }
            if (count % 64 != 0) {
                EXPECT_EQ(words[count / 64] >> (count % 64), 0u) << "chunking " << c;
            }
            drawn += count;
            // Alternate with single draws, as a mixed reader would.
            EXPECT_EQ(packed.next(), single.next());
        }
    }
}

}  // namespace
}  // namespace tpc::link
