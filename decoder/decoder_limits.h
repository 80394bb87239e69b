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

// Feedback weights of the X, Y and Z extrinsic values, in sixteenths.
inline constexpr int32_t kMinFeedbackWeight = 1;
inline constexpr int32_t kMaxFeedbackWeight = 16;
inline constexpr int32_t kDefaultFeedbackWeight = 7;

// BPSK quantiser bits. From the largest on, the 2^(resolution - 1) levels
// would no longer fit an int32_t; the node takes larger values as that one.
inline constexpr int32_t kMinQuantizerResolution = 1;
inline constexpr int32_t kMaxQuantizerResolution = 31;
inline constexpr int32_t kDefaultQuantizerResolution = 5;

// BPSK clipping amplitude (any positive number).
inline constexpr double kDefaultQuantizerLimit = 1.4;

}  // namespace tpc
