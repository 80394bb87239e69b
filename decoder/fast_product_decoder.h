// Fast implementations of DecodeProductBlock, bit for bit equal to
// DecodeProductBlockPlain (same arguments, same results in every buffer, same
// pass counter). product_decoder_dispatch.cpp picks one of them per CPU; call
// them directly only from tests and benchmarks.
//
//   Portable  8 lines at a time in plain C++ lanes; builds everywhere
//   Sse2      8 lines at a time in SSE2 registers        (x86 builds)
//   Avx2      16 lines at a time in AVX2 registers       (x86 builds, not
//             Windows: its ABI does not keep 32-byte vectors aligned on the
//             stack, so the compiler cannot spill them safely there)
// The SSE2 and AVX2 entry points may only run on a CPU that has the feature.
#pragma once

#include <cstdint>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TPC_FAST_DECODER_SSE2 1
#if !defined(_WIN32)
#define TPC_FAST_DECODER_AVX2 1
#endif
#endif

void DecodeProductBlockPortable(int32_t iterations, uint32_t selectstp, int32_t* channel,
                                int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                                int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX,
                                int32_t NUMY, int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                                int32_t* extrinsicB);

// For tests of the weighted feedback: the row inputs of 16 consecutive
// elements as a path's lanes compute them, channel + (a + b) * weight / 16
// (truncating), limited to +-SoftLimit, from 16-bit channel values and
// stores. b is null in two dimensions. Stores hold values within +-20450.
void RowInputsPortable(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                       int16_t* out);

#if defined(TPC_FAST_DECODER_SSE2)
void RowInputsSse2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out);

void DecodeProductBlockSse2(int32_t iterations, uint32_t selectstp, int32_t* channel,
                            int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                            int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                            int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                            int32_t* extrinsicB);
#endif

#if defined(TPC_FAST_DECODER_AVX2)
void RowInputsAvx2(const int16_t* channel, const int16_t* a, const int16_t* b, int16_t weight,
                   int16_t* out);

void DecodeProductBlockAvx2(int32_t iterations, uint32_t selectstp, int32_t* channel,
                            int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                            int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                            int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                            int32_t* extrinsicB);
#endif
