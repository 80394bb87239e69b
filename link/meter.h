// The meter's rule: a block's decoded information bits against the source
// bits that went into it, and whether a block in error is a code word.
#pragma once

#include <cstdint>
#include <vector>

#include "code/product_code.h"
#include "encoder/packed_product_encoder.h"
#include "link/link_counts.h"

namespace tpc::link {

// Whether a block of decisions (N, block order, 0/1) is a code word: its
// information positions encoded again must give all N decisions back.
class CodewordCheck {
public:
    explicit CodewordCheck(const ProductCode& code);
    bool isCodeword(const int32_t* decisions);

private:
    ProductCode code_;
    PackedProductEncoder encoder_;  // without interleave: out in block order, as the decisions are
    std::vector<uint8_t> info_, encoded_;
};

// Adds one block to `counts`: `decisions` (N, block order) read at the
// information positions (x fastest, then y, then z) against `sent` (K bits).
// A block in error is checked with `check`: undetected when a code word.
void CountBlock(const ProductCode& code, const int32_t* decisions, const uint8_t* sent, int32_t passes,
                CodewordCheck& check, LinkCounts& counts);

}  // namespace tpc::link
