// The product encoder on bytes in and out; for now over ProductEncoder.
#pragma once

#include <cstdint>
#include <vector>

#include "encoder/product_encoder.h"

namespace tpc {

class PackedProductEncoder {
public:
    PackedProductEncoder(const ProductCode& code, bool interleave)
        : encoder_(code, interleave), input_(code.K()), output_(code.N()) {}
    void Encode(const uint8_t* infoBits, uint8_t* codeBits) {
        for (size_t i = 0; i < input_.size(); ++i) input_[i] = infoBits[i];
        encoder_.Encode(input_.data(), output_.data());
        for (size_t i = 0; i < output_.size(); ++i) codeBits[i] = static_cast<uint8_t>(output_[i]);
    }

private:
    ProductEncoder encoder_;
    std::vector<double> input_;
    std::vector<int32_t> output_;
};

}  // namespace tpc
