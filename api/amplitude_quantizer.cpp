// QuantizeAmplitudes and its paths (see amplitude_quantizer.h).
//
// QuantizeBlock pulls x just inside +-L, takes floor(x * scale) and converts
// it with saturation, NaN giving 0. Once L is well above the pull margin,
// |x * scale| stays within levels <= 2^30, so the conversion never saturates
// and the vector forms need no such case. Smaller limits take the node's own
// function on a copy.
#include "api/amplitude_quantizer.h"

#include <cmath>
#include <vector>

#include "decoder/quantizer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TPC_API_QUANTIZER_X86 1
#endif

namespace tpc {
namespace api {

namespace {

// Comfortably above the margin, so that both pulls land inside +-L.
constexpr double kSmallestFastLimit = 0.001;

struct Quantizer {
    BpskQuantizer node;
    double limit, high, low, scale;  // the node's, as vector constants
};

Quantizer QuantizerOf(int32_t resolution, double quantLimit) {
    const BpskQuantizer node(resolution, quantLimit);
    return Quantizer{node, node.limit, node.limit - BpskQuantizer::kClipMargin,
                     -node.limit + BpskQuantizer::kClipMargin, node.scale};
}

int32_t QuantizeOne(const Quantizer& q, double x) {
    return q.node.Level(q.node.Clip(x));
}

#if defined(TPC_API_QUANTIZER_X86)
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

__attribute__((target("avx512f"))) void QuantizeAvx512(const Quantizer& q,
                                                         const double* amplitudes,
                                                         int32_t* channel, int32_t count) {
    const __m512d limit = _mm512_set1_pd(q.limit), negativeLimit = _mm512_set1_pd(-q.limit);
    const __m512d high = _mm512_set1_pd(q.high), low = _mm512_set1_pd(q.low);
    const __m512d scale = _mm512_set1_pd(q.scale);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m512d x = _mm512_loadu_pd(amplitudes + i);
        x = _mm512_mask_mov_pd(x, _mm512_cmp_pd_mask(x, limit, _CMP_GE_OQ), high);
        x = _mm512_mask_mov_pd(x, _mm512_cmp_pd_mask(x, negativeLimit, _CMP_LE_OQ), low);
        // The masked forms with all lanes set: the plain ones start from an
        // undefined vector, which GCC 12 reports as uninitialised.
        __m512d y = _mm512_mask_roundscale_pd(_mm512_setzero_pd(), 0xFF, _mm512_mul_pd(x, scale),
                                              _MM_FROUND_TO_NEG_INF | _MM_FROUND_NO_EXC);
        y = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(y, y, _CMP_ORD_Q), y);  // NaN gives 0
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(channel + i),
                            _mm512_mask_cvttpd_epi32(_mm256_setzero_si256(), 0xFF, y));
    }
    for (; i < count; ++i) channel[i] = QuantizeOne(q, amplitudes[i]);
}
#endif

}  // namespace

bool QuantizerPathAvailable(QuantizerPath path) {
#if defined(TPC_API_QUANTIZER_X86)
    static const bool avx2 = (__builtin_cpu_init(), __builtin_cpu_supports("avx2"));
    // The compiler's check also asks whether the system saves the 512-bit registers.
    static const bool avx512 = (__builtin_cpu_init(), __builtin_cpu_supports("avx512f"));
    if (path == QuantizerPath::kAvx2) return avx2;
    if (path == QuantizerPath::kAvx512) return avx512;
#endif
    return path == QuantizerPath::kPlain;
}

void QuantizeAmplitudesOn(QuantizerPath path, int32_t resolution, double quantLimit,
                          const double* amplitudes, int32_t* channel, int32_t count) {
    if (!(quantLimit >= kSmallestFastLimit)) {
        std::vector<double> copy(amplitudes, amplitudes + count);
        QuantizeBlock(resolution, quantLimit, 0, copy.data(), channel, 1, 1, 1, count);
        return;
    }
    const Quantizer q = QuantizerOf(resolution, quantLimit);
#if defined(TPC_API_QUANTIZER_X86)
    if (path == QuantizerPath::kAvx512 && QuantizerPathAvailable(path)) {
        return QuantizeAvx512(q, amplitudes, channel, count);
    }
    if (path == QuantizerPath::kAvx2 && QuantizerPathAvailable(path)) {
        return QuantizeAvx2(q, amplitudes, channel, count);
    }
#endif
    (void)path;
    for (int32_t i = 0; i < count; ++i) channel[i] = QuantizeOne(q, amplitudes[i]);
}

void QuantizeAmplitudes(int32_t resolution, double quantLimit, const double* amplitudes,
                        int32_t* channel, int32_t count) {
    static const QuantizerPath widest = QuantizerPathAvailable(QuantizerPath::kAvx512)
                                            ? QuantizerPath::kAvx512
                                        : QuantizerPathAvailable(QuantizerPath::kAvx2)
                                            ? QuantizerPath::kAvx2
                                            : QuantizerPath::kPlain;
    QuantizeAmplitudesOn(widest, resolution, quantLimit, amplitudes, channel, count);
}

}  // namespace api
}  // namespace tpc
