// The sending end of the block engine: source bits drawn a block at a time
// and encoded, as the nodes' source and encoder make them.
//
//   encoder out   e:  0 ........ N-1 | N ...... 2N-1 | 2N ...
//                     zeros (before  | block 0       | block 1
//                     block 0 is in) |               |
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "code/aligned_vector.h"
#include "code/product_code.h"
#include "encoder/packed_product_encoder.h"
#include "link/random_bits.h"

namespace tpc::link {

class Transmitter {
public:
    // `threshold`: the encoder's; a source bit at or above it encodes as 1.
    Transmitter(const ProductCode& code, bool interleave, double threshold);

    // Starts the source stream again from `seed`.
    void restart(uint64_t seed);
    // Code block b (b = -1: the encoder's zeros before block 0), drawing and
    // encoding source blocks up to b the first time it is asked for. Blocks
    // b - 1 and b stay readable; asking for b + 1 keeps b.
    const uint8_t* codeBlock(int64_t b);
    // The K source bits of block b, once codeBlock(b) was asked for.
    const uint8_t* sourceBlock(int64_t b) const { return source_[b & 1].data(); }

private:
    int32_t k_;
    // What the threshold makes of source bits 1 and 0, as all-ones or zero words.
    uint64_t encodedIfOne_ = 0, encodedIfZero_ = 0;
    RandomBits bits_;
    PackedProductEncoder encoder_;
    int64_t encodedBlocks_ = 0;  // source blocks drawn and encoded since restart
    LineAlignedVector<uint8_t> source_[2], encoded_[2];  // blocks b and b + 1, at b & 1
    std::vector<uint8_t> zeros_;
    // The block being drawn, packed as the encoder reads it, and the same after the threshold.
    std::vector<uint64_t> sourceWords_, encoderWords_;
};

}  // namespace tpc::link
