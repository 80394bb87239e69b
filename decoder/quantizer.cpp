// Channel values from received values (see quantizer.h).
#include "decoder/quantizer.h"

#include "code/helical_map.h"
#include "code/vector_clones.h"

namespace tpc {

BpskQuantizer::BpskQuantizer(int32_t resolution, double quantLimit) : limit(quantLimit) {
    int32_t exponent = resolution - 1;
    if (exponent < 0) exponent = 0;
    if (exponent > kMaxLevelExponent) exponent = kMaxLevelExponent;
    const int32_t levels = int32_t{1} << exponent;
    scale = levels / quantLimit;
}

void QuantizeBlock(int32_t resolution, double quantLimit, uint32_t deinter, double* received,
                   int32_t* channel, int32_t nx, int32_t ny, int32_t kz, int32_t blockSize) {
    const BpskQuantizer quantize(resolution, quantLimit);
    const HelicalPlacement place(deinter != 0, nx, ny, kz, blockSize);
    for (int32_t i = 0; i < blockSize; ++i) {
        received[i] = quantize.Clip(received[i]);
        channel[place(i)] = quantize.Level(received[i]);
    }
}

namespace {

// Every amplitude through Clip and LevelOfNumber: selects only, so it vectorises.
TPC_VECTOR_CLONES
void QuantizeByTruncation(const BpskQuantizer quantizer, const double* __restrict amplitudes,
                          int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        levels[i] = quantizer.LevelOfNumber(quantizer.Clip(amplitudes[i]));
    }
}

}  // namespace

void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* levels, int32_t count) {
    const BpskQuantizer quantizer(resolution, quantLimit);
    if (quantizer.LevelsFitTruncation()) {
        QuantizeByTruncation(quantizer, amplitudes, levels, count);
        return;
    }
    for (int32_t i = 0; i < count; ++i) levels[i] = quantizer.Level(quantizer.Clip(amplitudes[i]));
}

void ConvertSoftBlock(uint32_t deinter, const double* received, int32_t* channel, int32_t nx,
                      int32_t ny, int32_t kz, int32_t blockSize) {
    const HelicalPlacement place(deinter != 0, nx, ny, kz, blockSize);
    for (int32_t i = 0; i < blockSize; ++i) channel[place(i)] = SaturatingTruncate(received[i]);
}

}  // namespace tpc
