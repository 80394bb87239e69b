// The implementations behind ProductDecoder, one function per path. Each
// runs the passes of one block (decoding_schedule.h) on buffers that
// ProductDecoder has prepared: the stores zeroed, the channel clipped past
// the decoded part (the path clips that part itself).
//
//   Plain     line by line in 32-bit integers; the reference
//   Portable  8 lines at a time in plain C++ lanes; builds everywhere
//   Sse2      8 lines at a time in SSE2 registers        (x86 builds)
//   Avx2      16 lines at a time in AVX2 registers       (x86 builds)
//   Avx512    32 lines at a time in AVX-512BW registers  (x86 builds)
// Every x86 build has all three SIMD paths, the Windows DLLs included. On
// Windows a 32- or 64-byte vector's stack slot may be less aligned than the
// compiler assumes (the x64 frames cannot be realigned; a 32-bit host may
// call on a 4-byte aligned stack), so those builds assemble the two wide
// files with their aligned moves encoded as unaligned ones (CMakeLists.txt).
// Their other VEX and EVEX instructions take any address, and they make no
// non-temporal moves; scripts/check_wide_paths.sh holds the DLLs to both.
// The SIMD functions may only run where the CPU has the feature and the
// operating system saves its registers; PathDecoderOf asks both. The lane
// paths stop at a fixed point of the passes (decoding_schedule.h) with the
// results of the full run; the plain path runs every pass.
#pragma once

#include <cstdint>

#include "code/product_code.h"
#include "decoder/product_decoder.h"

namespace tpc {

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TPC_FAST_DECODER_SSE2 1
#define TPC_FAST_DECODER_AVX2 1
#define TPC_FAST_DECODER_AVX512 1
#endif

struct DecodeJob {
    ProductCode code;
    int32_t iterations;
    bool selectiveStop;
    bool threeDimensional;  // the schedule; decodes only the first plane when false
    int32_t weights[3];
    int32_t* channel;       // N values; the path clips the decoded part to +-31 in place
    int32_t* decisions;     // N values
    int32_t* extrinsicA;    // zeroed: the first plane (2D) or all N (3D)
    int32_t* extrinsicB;    // zeroed, all N (3D only)
};

struct DecodeOutcome {
    int32_t passCounter;     // final pass counter, 1 + the passes the full run makes
    int32_t passesComputed;  // passes actually decoded
};

using PathDecoder = DecodeOutcome (*)(const DecodeJob& job);

DecodeOutcome DecodePlain(const DecodeJob& job);
DecodeOutcome DecodePortable(const DecodeJob& job);
#if defined(TPC_FAST_DECODER_SSE2)
DecodeOutcome DecodeSse2(const DecodeJob& job);
#endif
#if defined(TPC_FAST_DECODER_AVX2)
DecodeOutcome DecodeAvx2(const DecodeJob& job);
#endif
#if defined(TPC_FAST_DECODER_AVX512)
DecodeOutcome DecodeAvx512(const DecodeJob& job);
#endif

// The function of a path (kFastest resolved), or null when this build lacks
// it or this CPU cannot run it.
PathDecoder PathDecoderOf(ProductDecoderPath path);

// For tests of the weighted feedback: the row inputs of kRowInputsSpan
// consecutive elements as a path's lanes compute them, channel + (a + b) * weight / 16
// (truncating), limited to +-SoftLimit, from 16-bit channel values and
// stores. b is null in two dimensions. Stores hold values within +-20450.
inline constexpr int32_t kRowInputsSpan = 32;
using RowInputsFunction = void (*)(const int16_t* channel, const int16_t* a, const int16_t* b,
                                   int16_t weight, int16_t* out);
RowInputsFunction RowInputsOf(ProductDecoderPath path);
void RowInputsPortable(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                       int16_t* out);
#if defined(TPC_FAST_DECODER_SSE2)
void RowInputsSse2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out);
#endif
#if defined(TPC_FAST_DECODER_AVX2)
void RowInputsAvx2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out);
#endif
#if defined(TPC_FAST_DECODER_AVX512)
void RowInputsAvx512(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                     int16_t* out);
#endif

}  // namespace tpc
