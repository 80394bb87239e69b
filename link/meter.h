// The meter's rule: a block's decoded information bits against the source
// bits that went into it.
#pragma once

#include <cstdint>

#include "code/product_code.h"
#include "link/link_counts.h"

namespace tpc::link {

// Adds one block to `counts`: `decisions` (N, block order) read at the
// information positions (x fastest, then y, then z) against `sent` (K bits).
void CountBlock(const ProductCode& code, const int32_t* decisions, const uint8_t* sent, int32_t passes,
                LinkCounts& counts);

}  // namespace tpc::link
