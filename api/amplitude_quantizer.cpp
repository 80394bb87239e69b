// QuantizeAmplitudes (see amplitude_quantizer.h).
//
// QuantizeBlock pulls x just inside +-L, takes floor(x * scale) and converts
// it with saturation, NaN giving 0. Once L is well above the pull margin,
// |x * scale| stays within levels <= 2^30, so the conversion never saturates
// and the vector form needs no such case. Smaller limits take the node's own
// function on a copy.
#include "api/amplitude_quantizer.h"

#include <cmath>
#include <vector>

#include "decoder/quantizer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TPC_API_QUANTIZER_AVX2 1
#endif

namespace tpc {
namespace api {

namespace {

constexpr double kClipMargin = 0.000001;  // as in decoder/quantizer.cpp
constexpr int32_t kMaxLevelExponent = 30;
// Comfortably above the margin, so that both pulls land inside +-L.
constexpr double kSmallestFastLimit = 0.001;

struct Quantizer {
    double limit, high, low, scale;
};

Quantizer QuantizerOf(int32_t resolution, double quantLimit) {
    int32_t exponent = resolution - 1;
    if (exponent < 0) exponent = 0;
    if (exponent > kMaxLevelExponent) exponent = kMaxLevelExponent;
    const int32_t levels = int32_t{1} << exponent;
    return Quantizer{quantLimit, quantLimit - kClipMargin, -quantLimit + kClipMargin,
                     levels / quantLimit};
}

int32_t QuantizeOne(const Quantizer& q, double x) {
    if (x >= q.limit) x = q.high;
    if (x <= -q.limit) x = q.low;
    const double y = std::floor(x * q.scale);
    return std::isnan(y) ? 0 : static_cast<int32_t>(y);
}

#if defined(TPC_API_QUANTIZER_AVX2)
__attribute__((target("avx2"))) void QuantizeAvx2(const Quantizer& q, const double* amplitudes,
                                                    int32_t* channel, int32_t count) {
    const __m256d limit = _mm256_set1_pd(q.limit), negativeLimit = _mm256_set1_pd(-q.limit);
    const __m256d high = _mm256_set1_pd(q.high), low = _mm256_set1_pd(q.low);
    const __m256d scale = _mm256_set1_pd(q.scale);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        __m256d x = _mm256_loadu_pd(amplitudes + i);
        x = _mm256_blendv_pd(x, high, _mm256_cmp_pd(x, limit, _CMP_GE_OQ));
        x = _mm256_blendv_pd(x, low, _mm256_cmp_pd(x, negativeLimit, _CMP_LE_OQ));
        __m256d y = _mm256_round_pd(_mm256_mul_pd(x, scale), _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        y = _mm256_and_pd(y, _mm256_cmp_pd(y, y, _CMP_ORD_Q));  // NaN gives 0
        _mm_storeu_si128(reinterpret_cast<__m128i*>(channel + i), _mm256_cvttpd_epi32(y));
    }
    for (; i < count; ++i) channel[i] = QuantizeOne(q, amplitudes[i]);
}

bool CpuHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

}  // namespace

void QuantizeAmplitudesPlain(int32_t resolution, double quantLimit, const double* amplitudes,
                             int32_t* channel, int32_t count) {
    if (!(quantLimit >= kSmallestFastLimit)) {
        std::vector<double> copy(amplitudes, amplitudes + count);
        QuantizeBlock(resolution, quantLimit, 0, copy.data(), channel, 1, 1, 1, count);
        return;
    }
    const Quantizer q = QuantizerOf(resolution, quantLimit);
    for (int32_t i = 0; i < count; ++i) channel[i] = QuantizeOne(q, amplitudes[i]);
}

void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* channel, int32_t count) {
#if defined(TPC_API_QUANTIZER_AVX2)
    static const bool avx2 = CpuHasAvx2();
    if (avx2 && quantLimit >= kSmallestFastLimit) {
        QuantizeAvx2(QuantizerOf(resolution, quantLimit), amplitudes, channel, count);
        return;
    }
#endif
    QuantizeAmplitudesPlain(resolution, quantLimit, amplitudes, channel, count);
}

}  // namespace api
}  // namespace tpc
