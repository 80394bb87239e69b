// The decoder node's BPSK quantiser (decoder/quantizer.h) for batches: the
// same channel values to the bit, without writing the clipped amplitudes back.
#pragma once

#include <cstdint>

namespace tpc {
namespace api {

// channel[i] = QuantizeBlock's value for amplitudes[i], i < count, in
// arrival order (no helical placement), four at a time in AVX2 registers
// where the CPU has them.
//   resolution  >= 1, as the node takes it
//   quantLimit  > 0
void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* channel, int32_t count);

// The same one value at a time: the reference for the vector form.
void QuantizeAmplitudesPlain(int32_t resolution, double quantLimit, const double* amplitudes,
                             int32_t* channel, int32_t count);

}  // namespace api
}  // namespace tpc
