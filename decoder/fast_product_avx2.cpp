// The fast product decoder over AVX2: sixteen 16-bit lanes per register.
// Compiled for AVX2 by a target option below the includes; the dispatcher
// runs it only on a CPU that has AVX2.
#include "decoder/decode_paths.h"

#if defined(TPC_FAST_DECODER_AVX2)

#include <immintrin.h>

#include <cstdint>

#include "decoder/code_tables.h"
#include "decoder/word_steps.h"

// Everything below, and nothing included above, is compiled for AVX2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "decoder/fast_product_kernel.h"

namespace tpc {

namespace {

struct Avx2Lanes {
    static constexpr int32_t kLanes = 16;
    using V = __m256i;

    static V Set1(int16_t v) { return _mm256_set1_epi16(v); }
    static V Zero() { return _mm256_setzero_si256(); }
    static V Ones() { return _mm256_set1_epi32(-1); }
    static V Load(const int16_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    static void Store(int16_t* p, V v) { _mm256_storeu_si256(reinterpret_cast<V*>(p), v); }
    static V Add(V a, V b) { return _mm256_add_epi16(a, b); }
    static V Sub(V a, V b) { return _mm256_sub_epi16(a, b); }
    static V AddSat(V a, V b) { return _mm256_adds_epi16(a, b); }
    static V Min(V a, V b) { return _mm256_min_epi16(a, b); }
    static V Max(V a, V b) { return _mm256_max_epi16(a, b); }
    static V CmpEq(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    static V CmpGt(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
    static V And(V a, V b) { return _mm256_and_si256(a, b); }
    static V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static V Select(V mask, V a, V b) { return _mm256_blendv_epi8(b, a, mask); }
    static V Abs(V a) { return _mm256_abs_epi16(a); }
    static V ShiftLeft8(V a) { return _mm256_slli_epi16(a, 8); }
    static bool Any(V mask) { return _mm256_movemask_epi8(mask) != 0; }

    static V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }

    static V Load32(const int32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const V*>(p)); }
    // The pack works within 128-bit halves; one permute restores the order.
    static V LoadNarrow(const int32_t* p) {
        return _mm256_permute4x64_epi64(_mm256_packs_epi32(Load32(p), Load32(p + 8)), 0xD8);
    }

    static V Limited(V sum) {
        return _mm256_min_epi16(_mm256_max_epi16(sum, _mm256_set1_epi16(-SoftLimit)),
                                _mm256_set1_epi16(SoftLimit));
    }

    // As in the SSE2 lanes: in two dimensions one unsigned high multiply of
    // |E| by w * 4096 (w = 16: E itself), the sign put back after.
    static V RowInput2D(const int16_t* channel, const int16_t* feedback, int16_t weight) {
        const V f = Load(feedback);
        const V magnitude = _mm256_abs_epi16(f);
        const V scaled =
            weight == 16 ? magnitude
                         : _mm256_mulhi_epu16(
                               magnitude, _mm256_set1_epi16(static_cast<int16_t>(weight << 12)));
        return Limited(_mm256_adds_epi16(Load(channel), _mm256_sign_epi16(scaled, f)));
    }

    // In three dimensions (A + B) * w in 32 bits by madd, truncating shift,
    // saturating pack. The unpacks and the pack work within 128-bit halves;
    // their reorderings cancel.
    static V Weighted(V products) {
        const V negativeBias =
            _mm256_and_si256(_mm256_srai_epi32(products, 31), _mm256_set1_epi32(15));
        return _mm256_srai_epi32(_mm256_add_epi32(products, negativeBias), 4);
    }
    static V RowInput3D(const int16_t* channel, const int16_t* feedbackA, const int16_t* feedbackB,
                        int16_t weight) {
        const V a = Load(feedbackA);
        const V b = Load(feedbackB);
        const V w = _mm256_set1_epi16(weight);
        const V lo = Weighted(_mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), w));
        const V hi = Weighted(_mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), w));
        return Limited(_mm256_adds_epi16(Load(channel), _mm256_packs_epi32(lo, hi)));
    }
    static void StoreWide(int32_t* p, V v) {
        _mm256_storeu_si256(reinterpret_cast<V*>(p),
                            _mm256_cvtepi16_epi32(_mm256_castsi256_si128(v)));
        _mm256_storeu_si256(reinterpret_cast<V*>(p + 8),
                            _mm256_cvtepi16_epi32(_mm256_extracti128_si256(v, 1)));
    }
    static void StoreBits(int32_t* p, V mask) {
        const V bits = _mm256_and_si256(mask, _mm256_set1_epi16(1));
        _mm256_storeu_si256(reinterpret_cast<V*>(p),
                            _mm256_cvtepu16_epi32(_mm256_castsi256_si128(bits)));
        _mm256_storeu_si256(reinterpret_cast<V*>(p + 8),
                            _mm256_cvtepu16_epi32(_mm256_extracti128_si256(bits, 1)));
    }
    static V UnpackLo16(V a, V b) { return _mm256_unpacklo_epi16(a, b); }
    static V UnpackHi16(V a, V b) { return _mm256_unpackhi_epi16(a, b); }
    static V UnpackLo32(V a, V b) { return _mm256_unpacklo_epi32(a, b); }
    static V UnpackHi32(V a, V b) { return _mm256_unpackhi_epi32(a, b); }
    static V UnpackLo64(V a, V b) { return _mm256_unpacklo_epi64(a, b); }
    static V UnpackHi64(V a, V b) { return _mm256_unpackhi_epi64(a, b); }
    // 16 x 16: rows[i] lane j becomes rows[j] lane i. Row i and row i + 8
    // trade halves first, so that each 8 x 8 quarter lands in the half its
    // columns belong to.
    static void Transpose(V* rows) {
        V low[8], high[8];
        for (int32_t i = 0; i < 8; ++i) {
            low[i] = _mm256_permute2x128_si256(rows[i], rows[i + 8], 0x20);
            high[i] = _mm256_permute2x128_si256(rows[i], rows[i + 8], 0x31);
        }
        fast_kernel::TransposeBlocks8<Avx2Lanes>(low);
        fast_kernel::TransposeBlocks8<Avx2Lanes>(high);
        for (int32_t i = 0; i < 8; ++i) {
            rows[i] = low[i];
            rows[i + 8] = high[i];
        }
    }
};

}  // namespace

void RowInputsAvx2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out) {
    fast_kernel::Kernel<Avx2Lanes>::RowInputs(channel, a, b, weight, out);
}

DecodeOutcome DecodeAvx2(const DecodeJob& job) {
    return fast_kernel::Kernel<Avx2Lanes>::Decode(job);
}

}  // namespace tpc

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // TPC_FAST_DECODER_AVX2
