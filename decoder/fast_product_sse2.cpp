// The fast product decoder over SSE2: eight 16-bit lanes per register. SSE2
// is part of every 64-bit x86 CPU; 32-bit builds compile this file for it
// with a target option and the dispatcher checks the CPU first.
#include "decoder/decode_paths.h"

#if defined(TPC_FAST_DECODER_SSE2)

#include <emmintrin.h>

#include <cstdint>

#include "decoder/code_tables.h"
#include "decoder/word_steps.h"

// Everything below, and nothing included above, is compiled for SSE2.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("sse2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("sse2")
#endif

#include "decoder/fast_product_kernel.h"

namespace tpc {

namespace {

struct Sse2Lanes {
    static constexpr int32_t kLanes = 8;
    using V = __m128i;

    static V Set1(int16_t v) { return _mm_set1_epi16(v); }
    static V Zero() { return _mm_setzero_si128(); }
    static V Ones() { return _mm_set1_epi32(-1); }
    static V Load(const int16_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static void Store(int16_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    static V Add(V a, V b) { return _mm_add_epi16(a, b); }
    static V Sub(V a, V b) { return _mm_sub_epi16(a, b); }
    static V AddSat(V a, V b) { return _mm_adds_epi16(a, b); }
    static V Min(V a, V b) { return _mm_min_epi16(a, b); }
    static V Max(V a, V b) { return _mm_max_epi16(a, b); }
    static V CmpEq(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static V CmpGt(V a, V b) { return _mm_cmpgt_epi16(a, b); }
    static V And(V a, V b) { return _mm_and_si128(a, b); }
    static V Or(V a, V b) { return _mm_or_si128(a, b); }
    static V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    static V Select(V mask, V a, V b) {
        return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b));
    }
    static V Abs(V a) { return _mm_max_epi16(a, _mm_sub_epi16(_mm_setzero_si128(), a)); }
    static V ShiftLeft8(V a) { return _mm_slli_epi16(a, 8); }
    static bool Any(V mask) { return _mm_movemask_epi8(mask) != 0; }

    static V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }

    static V Load32(const int32_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    static V LoadNarrow(const int32_t* p) { return _mm_packs_epi32(Load32(p), Load32(p + 4)); }

    static V Limited(V sum) {
        return _mm_min_epi16(_mm_max_epi16(sum, _mm_set1_epi16(-SoftLimit)),
                             _mm_set1_epi16(SoftLimit));
    }

    // Two dimensions: |E| <= 20450, so trunc(E * w / 16) is sign(E) *
    // floor(|E| * (w * 4096) / 65536), one unsigned high multiply (w = 16
    // would not fit the multiplier and is E itself), and fits 16 bits.
    static V RowInput2D(const int16_t* channel, const int16_t* feedback, int16_t weight) {
        const V f = Load(feedback);
        const V sign = _mm_srai_epi16(f, 15);
        const V magnitude = _mm_sub_epi16(_mm_xor_si128(f, sign), sign);
        const V scaled =
            weight == 16
                ? magnitude
                : _mm_mulhi_epu16(magnitude, _mm_set1_epi16(static_cast<int16_t>(weight << 12)));
        const V weighted = _mm_sub_epi16(_mm_xor_si128(scaled, sign), sign);
        return Limited(_mm_adds_epi16(Load(channel), weighted));
    }

    // Three dimensions: A + B may exceed 16 bits. madd forms A*w + B*w =
    // (A + B) * w in 32 bits; adding 15 to negatives before the arithmetic
    // shift divides by 16 truncating toward zero. Packing saturates only
    // values far beyond +-SoftLimit, which the limit then maps alike.
    static V Weighted(V products) {
        const V negativeBias = _mm_and_si128(_mm_srai_epi32(products, 31), _mm_set1_epi32(15));
        return _mm_srai_epi32(_mm_add_epi32(products, negativeBias), 4);
    }
    static V RowInput3D(const int16_t* channel, const int16_t* feedbackA, const int16_t* feedbackB,
                        int16_t weight) {
        const V a = Load(feedbackA);
        const V b = Load(feedbackB);
        const V w = _mm_set1_epi16(weight);
        const V lo = Weighted(_mm_madd_epi16(_mm_unpacklo_epi16(a, b), w));
        const V hi = Weighted(_mm_madd_epi16(_mm_unpackhi_epi16(a, b), w));
        return Limited(_mm_adds_epi16(Load(channel), _mm_packs_epi32(lo, hi)));
    }
    static void StoreWide(int32_t* p, V v) {
        _mm_storeu_si128(reinterpret_cast<V*>(p), _mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16));
        _mm_storeu_si128(reinterpret_cast<V*>(p + 4), _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16));
    }
    static void StoreBits(int32_t* p, V mask) {
        const V bits = _mm_and_si128(mask, _mm_set1_epi16(1));
        _mm_storeu_si128(reinterpret_cast<V*>(p), _mm_unpacklo_epi16(bits, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<V*>(p + 4),
                         _mm_unpackhi_epi16(bits, _mm_setzero_si128()));
    }
    static V UnpackLo16(V a, V b) { return _mm_unpacklo_epi16(a, b); }
    static V UnpackHi16(V a, V b) { return _mm_unpackhi_epi16(a, b); }
    static V UnpackLo32(V a, V b) { return _mm_unpacklo_epi32(a, b); }
    static V UnpackHi32(V a, V b) { return _mm_unpackhi_epi32(a, b); }
    static V UnpackLo64(V a, V b) { return _mm_unpacklo_epi64(a, b); }
    static V UnpackHi64(V a, V b) { return _mm_unpackhi_epi64(a, b); }
    // 8 x 8: rows[i] lane j becomes rows[j] lane i.
    static void Transpose(V* rows) { fast_kernel::TransposeBlocks8<Sse2Lanes>(rows); }
};

}  // namespace

void RowInputsSse2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out) {
    fast_kernel::Kernel<Sse2Lanes>::RowInputs(channel, a, b, weight, out);
}

DecodeOutcome DecodeSse2(const DecodeJob& job) {
    return fast_kernel::Kernel<Sse2Lanes>::Decode(job);
}

}  // namespace tpc

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // TPC_FAST_DECODER_SSE2
