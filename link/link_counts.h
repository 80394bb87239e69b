// What a link's meter counts: blocks, bits and their errors, and the
// decoder's passes. Both engines add their blocks through addBlock.
#pragma once

#include <cstdint>

namespace tpc::link {

struct LinkCounts {
    int64_t blocks = 0;
    int64_t bits = 0;
    int64_t bitErrors = 0;
    int64_t blockErrors = 0;
    // Sum over blocks of the square of each block's bit errors, for the
    // spread of the errors between blocks; held at INT64_MAX rather than
    // wrapped, which takes blocks of millions of errors each.
    int64_t bitErrorsSquared = 0;
    // Axis passes the decoder ran over the counted blocks; the block engine
    // knows them, the nodes do not report them (0).
    int64_t passes = 0;

    // One decoded block of `bits` information bits, `errors` of them wrong.
    void addBlock(int64_t bits, int64_t errors, int64_t decoderPasses = 0) {
        ++blocks;
        this->bits += bits;
        bitErrors += errors;
        blockErrors += errors != 0;
        bitErrorsSquared = SaturatingSum(bitErrorsSquared, errors * errors);
        passes += decoderPasses;
    }
    LinkCounts& operator+=(const LinkCounts& o) {
        blocks += o.blocks;
        bits += o.bits;
        bitErrors += o.bitErrors;
        blockErrors += o.blockErrors;
        bitErrorsSquared = SaturatingSum(bitErrorsSquared, o.bitErrorsSquared);
        passes += o.passes;
        return *this;
    }
    static int64_t SaturatingSum(int64_t a, int64_t b) { return a > INT64_MAX - b ? INT64_MAX : a + b; }
};

}  // namespace tpc::link
