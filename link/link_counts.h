// What a link's meter counts: blocks, bits and their errors, the block
// errors no check could see, and the decoder's passes. Both engines add their blocks through addBlock.
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
    // Block errors whose decisions form a code word of the product code, so
    // that no check on the block could tell; the block engine knows them, the
    // nodes report only the information bits (0).
    int64_t undetectedBlocks = 0;

    // One decoded block of `bits` information bits, `errors` of them wrong;
    // `undetected`: wrong, and a code word all the same.
    void addBlock(int64_t bits, int64_t errors, int64_t decoderPasses = 0, bool undetected = false) {
        ++blocks;
        this->bits += bits;
        bitErrors += errors;
        blockErrors += errors != 0;
        bitErrorsSquared = SaturatingSum(bitErrorsSquared, errors * errors);
        passes += decoderPasses;
        undetectedBlocks += errors != 0 && undetected;
    }
    LinkCounts& operator+=(const LinkCounts& o) {
        blocks += o.blocks;
        bits += o.bits;
        bitErrors += o.bitErrors;
        blockErrors += o.blockErrors;
        bitErrorsSquared = SaturatingSum(bitErrorsSquared, o.bitErrorsSquared);
        passes += o.passes;
        undetectedBlocks += o.undetectedBlocks;
        return *this;
    }
    static int64_t SaturatingSum(int64_t a, int64_t b) { return a > INT64_MAX - b ? INT64_MAX : a + b; }
};

// A block in error as the meter counted it: enough, with the run's seed, to
// regenerate it and to tell that the regenerated block is the same.
struct FailedBlock {
    int64_t block = 0;  // its index in the run, from 0
    int64_t bitErrors = 0;
    bool undetected = false;
    int32_t passes = 0;
};

}  // namespace tpc::link
