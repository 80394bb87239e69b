// The decoder node's BPSK quantiser (decoder/quantizer.h) for batches: the
// same channel values to the bit, without writing the clipped amplitudes back.
#pragma once

#include <cstdint>

namespace tpc {
namespace api {

enum class QuantizerPath { kPlain, kAvx2, kAvx512 };

// Whether this build and CPU run the path (kPlain always).
bool QuantizerPathAvailable(QuantizerPath path);

// channel[i] = QuantizeBlock's value for amplitudes[i], i < count, in
// arrival order (no helical placement), on the widest path the CPU has.
//   resolution  >= 1, as the node takes it
//   quantLimit  > 0
void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* channel, int32_t count);

// The same on a given path (an unavailable one falls back to kPlain): one
// value at a time, or four or eight at a time in vector registers. kPlain is
// the reference the tests hold the others to.
void QuantizeAmplitudesOn(QuantizerPath path, int32_t resolution, double quantLimit,
                          const double* amplitudes, int32_t* channel, int32_t count);

}  // namespace api
}  // namespace tpc
