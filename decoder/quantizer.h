// Turning one gathered block of received values into the integer channel
// values of the product decoder, optionally undoing the helical interleave.
//
// Received value i (arrival order) is stored at block position j(i): the
// helical position (i * s) mod N when deinter is set (code/helical_map.h,
// s chosen by kz), i otherwise. When s shares a factor with N, several values
// land on one position (the last one wins) and others keep what channel held.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "decoder/decoder_limits.h"

namespace tpc {

// Truncates toward zero; out-of-range values saturate and NaN gives 0, so
// the conversion is defined for every double.
inline int32_t SaturatingTruncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// The BPSK quantiser of one amplitude, as QuantizeBlock applies it.
struct BpskQuantizer {
    static constexpr double kClipMargin = 0.000001;
    static constexpr int32_t kMaxLevelExponent = kQuantizerResolution.max - 1;

    BpskQuantizer(int32_t resolution, double quantLimit);
    // Pulled just inside +-limit: two separate tests in this order, since
    // with a limit below the margin the first pull lands beyond the negative
    // limit.
    double Clip(double x) const {
        const double high = x >= limit ? limit - kClipMargin : x;
        return high <= -limit ? -limit + kClipMargin : high;
    }
    // The level of a clipped amplitude.
    int32_t Level(double clipped) const { return SaturatingTruncate(std::floor(clipped * scale)); }
    // The same when the limit is at least the margin: there |clipped * scale|
    // <= levels <= 2^30 unless the product is NaN (a NaN amplitude, or an
    // infinite limit's 0 * infinity), which gives 0 as in Level. Floor by
    // truncation, exact there, and branch-free: a loop of these vectorises.
    bool LevelsFitTruncation() const { return limit >= kClipMargin; }
    int32_t LevelOfNumber(double clipped) const {
        const double product = clipped * scale;
        const double v = product == product ? product : 0.0;
        const int32_t t = static_cast<int32_t>(v);
        return t - static_cast<int32_t>(v < t);
    }
    // The same level by a floor instruction: fewer operations where the
    // target has one (SSE4.1 and later; the vector clones), but a loop of
    // these stays scalar on plain SSE2, where LevelOfNumber vectorises.
    int32_t LevelByFloor(double clipped) const {
        const double product = clipped * scale;
        return static_cast<int32_t>(std::floor(product == product ? product : 0.0));
    }

    double limit;
    double scale = 0;
};

// BPSK amplitudes: levels = 2^(resolution - 1), scale = levels / quantLimit,
// q = floor(x * scale) after x is pulled just inside +-quantLimit (an absolute
// margin of 0.000001), giving -levels ... levels - 1.
//   resolution  in      quantiser bits, >= 1 (validated by the node; lower
//                       values act as 1). From kQuantizerResolution.max on,
//                       levels saturates at 2^30, since 2^31 does not fit
//                       an int32_t; the decoder
//                       clips to +-31, so every resolution above 6 decodes
//                       alike anyway.
//   quantLimit  in      clipping amplitude, > 0
//   received    in/out  blockSize amplitudes; clipped values are written back
//   channel     out     blockSize integers in block order
// A product outside int32_t (possible only for a quantLimit below the clipping
// margin) saturates, and a NaN amplitude gives 0.
void QuantizeBlock(int32_t resolution, double quantLimit, uint32_t deinter, double* received,
                   int32_t* channel, int32_t nx, int32_t ny, int32_t kz, int32_t blockSize);

// The same channel values for a batch, in arrival order (no helical
// placement), without writing the amplitudes back: the quantiser's one vector
// loop, built for the widest vectors the CPU has where the toolchain can pick
// at load time (code/vector_clones.h). QuantizeBlock stays the plain
// reference it is held to.
//   resolution, quantLimit  as for QuantizeBlock
//   amplitudes  in   count amplitudes
//   levels      out  count integers
void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* levels, int32_t count);

// Ready integer soft values (from the LLR calculator): each value truncated
// toward zero. Values beyond the int32_t range saturate at its ends and NaN
// gives 0; the decoder clips to +-31, so neither changes a decision.
void ConvertSoftBlock(uint32_t deinter, const double* received, int32_t* channel, int32_t nx,
                      int32_t ny, int32_t kz, int32_t blockSize);

}  // namespace tpc
