// The fast product decoder over AVX-512BW: thirty-two 16-bit lanes per
// register. Compiled for AVX-512BW by a target option below the includes;
// the dispatcher runs it only where the CPU has AVX-512BW and the operating
// system saves the 512-bit registers (the compiler's CPU check asks both).
//
// Compares give lane masks in mask registers; the kernel works with masks
// held in vectors (all ones or zero per lane), so they are widened back
// (movm). Where the AVX2 lanes use sign, a masked subtract does the same.

// GCC 12's AVX-512 headers start many results from _mm512_undefined_*(),
// which its flow analysis then reports as maybe uninitialised; the warning
// is about those headers, not this file.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "decoder/decode_paths.h"

#if defined(TPC_FAST_DECODER_AVX512)

#include <immintrin.h>

#include <cstdint>

#include "decoder/code_tables.h"
#include "decoder/word_steps.h"

// Everything below, and nothing included above, is compiled for AVX-512BW.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f,avx512bw"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw")
#endif

#include "decoder/fast_product_kernel.h"

namespace tpc {

namespace {

struct Avx512Lanes {
    static constexpr int32_t kLanes = 32;
    using V = __m512i;

    static V Set1(int16_t v) { return _mm512_set1_epi16(v); }
    static V Zero() { return _mm512_setzero_si512(); }
    static V Ones() { return _mm512_set1_epi32(-1); }
    static V Load(const int16_t* p) { return _mm512_loadu_si512(p); }
    static void Store(int16_t* p, V v) { _mm512_storeu_si512(p, v); }
    static V Add(V a, V b) { return _mm512_add_epi16(a, b); }
    static V Sub(V a, V b) { return _mm512_sub_epi16(a, b); }
    static V AddSat(V a, V b) { return _mm512_adds_epi16(a, b); }
    static V Min(V a, V b) { return _mm512_min_epi16(a, b); }
    static V Max(V a, V b) { return _mm512_max_epi16(a, b); }
    static V CmpEq(V a, V b) { return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b)); }
    static V CmpGt(V a, V b) { return _mm512_movm_epi16(_mm512_cmpgt_epi16_mask(a, b)); }
    static V And(V a, V b) { return _mm512_and_si512(a, b); }
    static V Or(V a, V b) { return _mm512_or_si512(a, b); }
    static V Xor(V a, V b) { return _mm512_xor_si512(a, b); }
    static V AndNot(V a, V b) { return _mm512_andnot_si512(a, b); }
    // mask ? a : b, bit by bit (0xCA).
    static V Select(V mask, V a, V b) { return _mm512_ternarylogic_epi32(mask, a, b, 0xCA); }
    static V Abs(V a) { return _mm512_abs_epi16(a); }
    static V ShiftLeft8(V a) { return _mm512_slli_epi16(a, 8); }
    static bool Any(V mask) { return _mm512_test_epi16_mask(mask, mask) != 0; }

    static V LoadNarrow(const int32_t* p) {
        const __m256i low = _mm512_cvtsepi32_epi16(_mm512_loadu_si512(p));
        const __m256i high = _mm512_cvtsepi32_epi16(_mm512_loadu_si512(p + 16));
        return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
    }

    static V Limited(V sum) {
        return _mm512_min_epi16(_mm512_max_epi16(sum, _mm512_set1_epi16(-SoftLimit)),
                                _mm512_set1_epi16(SoftLimit));
    }

    // As in the SSE2 and AVX2 lanes: in two dimensions one unsigned high
    // multiply of |E| by w * 4096 (w = 16: E itself), the sign put back by
    // negating the lanes whose E is negative.
    static V RowInput2D(const int16_t* channel, const int16_t* feedback, int16_t weight) {
        const V f = Load(feedback);
        const V magnitude = _mm512_abs_epi16(f);
        const V scaled =
            weight == 16 ? magnitude
                         : _mm512_mulhi_epu16(
                               magnitude, _mm512_set1_epi16(static_cast<int16_t>(weight << 12)));
        const V signedScaled =
            _mm512_mask_sub_epi16(scaled, _mm512_movepi16_mask(f), _mm512_setzero_si512(), scaled);
        return Limited(_mm512_adds_epi16(Load(channel), signedScaled));
    }

    // In three dimensions (A + B) * w in 32 bits by madd, truncating shift,
    // saturating pack. The unpacks and the pack work within 128-bit lanes;
    // their reorderings cancel.
    static V Weighted(V products) {
        const V negativeBias =
            _mm512_and_si512(_mm512_srai_epi32(products, 31), _mm512_set1_epi32(15));
        return _mm512_srai_epi32(_mm512_add_epi32(products, negativeBias), 4);
    }
    static V RowInput3D(const int16_t* channel, const int16_t* feedbackA, const int16_t* feedbackB,
                        int16_t weight) {
        const V a = Load(feedbackA);
        const V b = Load(feedbackB);
        const V w = _mm512_set1_epi16(weight);
        const V lo = Weighted(_mm512_madd_epi16(_mm512_unpacklo_epi16(a, b), w));
        const V hi = Weighted(_mm512_madd_epi16(_mm512_unpackhi_epi16(a, b), w));
        return Limited(_mm512_adds_epi16(Load(channel), _mm512_packs_epi32(lo, hi)));
    }
    static void StoreWide(int32_t* p, V v) {
        _mm512_storeu_si512(p, _mm512_cvtepi16_epi32(_mm512_castsi512_si256(v)));
        _mm512_storeu_si512(p + 16, _mm512_cvtepi16_epi32(_mm512_extracti64x4_epi64(v, 1)));
    }
    static void StoreBits(int32_t* p, V mask) {
        const V bits = _mm512_and_si512(mask, _mm512_set1_epi16(1));
        _mm512_storeu_si512(p, _mm512_cvtepu16_epi32(_mm512_castsi512_si256(bits)));
        _mm512_storeu_si512(p + 16, _mm512_cvtepu16_epi32(_mm512_extracti64x4_epi64(bits, 1)));
    }

    static V UnpackLo16(V a, V b) { return _mm512_unpacklo_epi16(a, b); }
    static V UnpackHi16(V a, V b) { return _mm512_unpackhi_epi16(a, b); }
    static V UnpackLo32(V a, V b) { return _mm512_unpacklo_epi32(a, b); }
    static V UnpackHi32(V a, V b) { return _mm512_unpackhi_epi32(a, b); }
    static V UnpackLo64(V a, V b) { return _mm512_unpacklo_epi64(a, b); }
    static V UnpackHi64(V a, V b) { return _mm512_unpackhi_epi64(a, b); }
    // 32 x 32: rows[i] lane j becomes rows[j] lane i. After the 8 x 8
    // transposes, row 8g + i holds in its 128-bit lane q what row 8q + i
    // needs in its lane g: a 4 x 4 transpose of 128-bit lanes over the rows
    // i, 8 + i, 16 + i, 24 + i finishes it.
    static void Transpose(V* rows) {
        for (int32_t g = 0; g < 4; ++g) fast_kernel::TransposeBlocks8<Avx512Lanes>(rows + 8 * g);
        for (int32_t i = 0; i < 8; ++i) {
            const V t0 = _mm512_shuffle_i64x2(rows[i], rows[8 + i], _MM_SHUFFLE(1, 0, 1, 0));
            const V t1 = _mm512_shuffle_i64x2(rows[i], rows[8 + i], _MM_SHUFFLE(3, 2, 3, 2));
            const V t2 = _mm512_shuffle_i64x2(rows[16 + i], rows[24 + i], _MM_SHUFFLE(1, 0, 1, 0));
            const V t3 = _mm512_shuffle_i64x2(rows[16 + i], rows[24 + i], _MM_SHUFFLE(3, 2, 3, 2));
            rows[i] = _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(2, 0, 2, 0));
            rows[8 + i] = _mm512_shuffle_i64x2(t0, t2, _MM_SHUFFLE(3, 1, 3, 1));
            rows[16 + i] = _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(2, 0, 2, 0));
            rows[24 + i] = _mm512_shuffle_i64x2(t1, t3, _MM_SHUFFLE(3, 1, 3, 1));
        }
    }
};

}  // namespace

void RowInputsAvx512(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                     int16_t* out) {
    fast_kernel::Kernel<Avx512Lanes>::RowInputs(channel, a, b, weight, out);
}

DecodeOutcome DecodeAvx512(const DecodeJob& job) {
    return fast_kernel::Kernel<Avx512Lanes>::Decode(job);
}

}  // namespace tpc

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

#endif  // TPC_FAST_DECODER_AVX512
