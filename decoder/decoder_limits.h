// The decoder's settings: their bounds and defaults, written once. The
// node's checks and parameter defaults, DecoderSettings, the codec API (its
// public header too, beside which this file is installed), tpcsim's options
// and the Python module read them from here.
//
// Lower bounds on the passes are each front end's own: the node lets any
// count up to the limit through (none or fewer decode nothing), tpcsim takes
// 0 for an undecoded run, the codec API asks for at least one.
//
// Installed with the public headers: standard headers only.
#pragma once

#include <cstdint>

namespace tpc {

// Axis passes of one block.
inline constexpr int32_t kMaxDecoderPasses = 128;
inline constexpr int32_t kDefaultDecoderPasses = 64;

// A setting with a range, min ... max, and the value blocks and options start
// from. The node checks the quantiser resolution's lower bound only (see
// below); the other front ends check both.
struct BoundedSetting {
    int32_t min;
    int32_t max;
    int32_t initial;
};

// Feedback weights of the X, Y and Z extrinsic values, in sixteenths.
inline constexpr BoundedSetting kFeedbackWeight{1, 16, 7};

// BPSK quantiser bits. From the largest on, the 2^(resolution - 1) levels
// would no longer fit an int32_t; the node takes larger values as that one.
inline constexpr BoundedSetting kQuantizerResolution{1, 31, 5};

// BPSK clipping amplitude (any positive number).
inline constexpr double kDefaultQuantizerLimit = 1.4;

}  // namespace tpc
