// The decoder's parameter checks before the code dimensions, in their fixed
// order, on any record that names the fields as the node's parameter block
// does (the block itself, or the node's state that copies it).
#pragma once

#include <cstdint>

#include "code/status.h"
#include "decoder/decoder_limits.h"

namespace tpc {

// The messages are the node's fixed texts; they name the limits as they are.
static_assert(kMaxDecoderPasses == 128 && kFeedbackWeight.min == 1 && kFeedbackWeight.max == 16 &&
                  kQuantizerResolution.min == 1,
              "the decoder node's messages below name these limits");

template <class Record>
Status CheckDecodingParameters(const Record& r) {
    const auto weightInRange = [](int32_t w) {
        return w >= kFeedbackWeight.min && w <= kFeedbackWeight.max;
    };
    if (r.iterations > kMaxDecoderPasses) return Failure(6, "Number of iterations exceeds 128");
    if (!weightInRange(r.NUMX)) return Failure(7, "NUMX must be an integer ranging from 1 to 16");
    if (!weightInRange(r.NUMY)) return Failure(7, "NUMY must be an integer ranging from 1 to 16");
    if (!weightInRange(r.NUMZ)) return Failure(7, "NUMZ must be an integer ranging from 1 to 16");
    if (r.resolution < kQuantizerResolution.min) {
        return Failure(8, "Resolution must be a positive integer");
    }
    // NaN fails too.
    if (!(r.quantLimit > 0)) return Failure(8, "Quantization limit must be a positive number");
    return kOk;
}

}  // namespace tpc
