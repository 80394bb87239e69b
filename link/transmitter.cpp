#include "link/transmitter.h"

namespace tpc::link {

Transmitter::Transmitter(const ProductCode& code, bool interleave, double threshold)
    : k_(code.K()), encoder_(code, interleave) {
    for (int bit = 0; bit < 2; ++bit) encodedBit_[bit] = bit >= threshold ? 1 : 0;
    for (int j = 0; j < 2; ++j) {
        source_[j].resize(static_cast<size_t>(k_));
        encoded_[j].resize(static_cast<size_t>(code.N()));
    }
    zeros_.assign(static_cast<size_t>(code.N()), 0);
    encoderInput_.resize(static_cast<size_t>(k_));
}

void Transmitter::restart(uint64_t seed) {
    bits_.reseed(seed);
    encodedBlocks_ = 0;
}

const uint8_t* Transmitter::codeBlock(int64_t b) {
    if (b < 0) return zeros_.data();
    while (encodedBlocks_ <= b) {
        const size_t slot = static_cast<size_t>(encodedBlocks_ & 1);
        bits_.fill(source_[slot].data(), k_);
        const uint8_t* input = source_[slot].data();
        if (!(encodedBit_[0] == 0 && encodedBit_[1] == 1)) {
            for (int32_t t = 0; t < k_; ++t) encoderInput_[t] = encodedBit_[source_[slot][t]];
            input = encoderInput_.data();
        }
        encoder_.Encode(input, encoded_[slot].data());
        ++encodedBlocks_;
    }
    return encoded_[b & 1].data();
}

}  // namespace tpc::link
