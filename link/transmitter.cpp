#include "link/transmitter.h"

#include "code/bit_bytes.h"

namespace tpc::link {

Transmitter::Transmitter(const ProductCode& code, bool interleave, double threshold)
    : k_(code.K()), encoder_(code, interleave) {
    // A source bit at or above the threshold encodes as 1: a word of source
    // bits maps to (w & ifOne) | (~w & ifZero).
    encodedIfOne_ = 1 >= threshold ? ~uint64_t{0} : 0;
    encodedIfZero_ = 0 >= threshold ? ~uint64_t{0} : 0;
    for (int j = 0; j < 2; ++j) {
        source_[j].resize(static_cast<size_t>(k_));
        encoded_[j].resize(static_cast<size_t>(code.N()));
    }
    zeros_.assign(static_cast<size_t>(code.N()), 0);
    const size_t words = static_cast<size_t>((k_ + 63) / 64);
    sourceWords_.resize(words);
    encoderWords_.resize(words);
}

void Transmitter::restart(uint64_t seed) {
    bits_.reseed(seed);
    encodedBlocks_ = 0;
}

const uint8_t* Transmitter::codeBlock(int64_t b) {
    if (b < 0) return zeros_.data();
    while (encodedBlocks_ <= b) {
        const size_t slot = static_cast<size_t>(encodedBlocks_ & 1);
        bits_.fillWords(sourceWords_.data(), k_);
        SpreadBits(sourceWords_.data(), k_, source_[slot].data());  // the meter's copy
        const uint64_t* input = sourceWords_.data();
        if (!(encodedIfOne_ == ~uint64_t{0} && encodedIfZero_ == 0)) {
            for (size_t w = 0; w < sourceWords_.size(); ++w) {
                encoderWords_[w] = (sourceWords_[w] & encodedIfOne_) | (~sourceWords_[w] & encodedIfZero_);
            }
            input = encoderWords_.data();
        }
        encoder_.EncodePacked(input, encoded_[slot].data());
        ++encodedBlocks_;
    }
    return encoded_[b & 1].data();
}

}  // namespace tpc::link
