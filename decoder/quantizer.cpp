// Channel values from received values (see quantizer.h).
#include "decoder/quantizer.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "code/helical_map.h"

namespace tpc {

namespace {

constexpr double kClipMargin = 0.000001;
constexpr int32_t kMaxLevelExponent = 30;

// Truncates toward zero; out-of-range values saturate and NaN gives 0, so
// the conversion is defined for every double.
int32_t SaturatingTruncate(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (value <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

// j(i) for every i, as the node places received values.
struct Placement {
    bool helical;
    int64_t step;
    int32_t blockSize;

    int32_t operator()(int32_t i) const {
        return helical ? HelicalPosition(i, step, blockSize) : i;
    }
};

Placement PlacementOf(uint32_t deinter, int32_t nx, int32_t ny, int32_t kz, int32_t blockSize) {
    return Placement{deinter != 0, HelicalStep(nx, ny, kz), blockSize};
}

}  // namespace

void QuantizeBlock(int32_t resolution, double quantLimit, uint32_t deinter, double* received,
                   int32_t* channel, int32_t nx, int32_t ny, int32_t kz, int32_t blockSize) {
    int32_t exponent = resolution - 1;
    if (exponent < 0) exponent = 0;
    if (exponent > kMaxLevelExponent) exponent = kMaxLevelExponent;
    const int32_t levels = int32_t{1} << exponent;
    const double scale = levels / quantLimit;
    const Placement place = PlacementOf(deinter, nx, ny, kz, blockSize);

    for (int32_t i = 0; i < blockSize; ++i) {
        double x = received[i];
        // Two separate tests in this order: with a quantLimit below the
        // margin the first pull lands beyond the negative limit.
        if (x >= quantLimit) x = quantLimit - kClipMargin;
        if (x <= -quantLimit) x = -quantLimit + kClipMargin;
        received[i] = x;
        channel[place(i)] = SaturatingTruncate(std::floor(x * scale));
    }
}

void ConvertSoftBlock(uint32_t deinter, const double* received, int32_t* channel, int32_t nx,
                      int32_t ny, int32_t kz, int32_t blockSize) {
    const Placement place = PlacementOf(deinter, nx, ny, kz, blockSize);
    for (int32_t i = 0; i < blockSize; ++i) channel[place(i)] = SaturatingTruncate(received[i]);
}

}  // namespace tpc
