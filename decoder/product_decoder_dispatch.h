// The one place that decides which implementation DecodeProductBlock runs.
//
// On first use it takes the fastest path this build and this CPU support
// (AVX2, else SSE2, else the portable fast path). Tests and benchmarks may
// force another one; the library itself never does, and reads no settings.
#pragma once

#include <cstdint>

enum class ProductDecoderPath : int32_t {
    kPlain = 0,     // DecodeProductBlockPlain, the reference
    kPortable = 1,  // DecodeProductBlockPortable
    kSse2 = 2,      // DecodeProductBlockSse2
    kAvx2 = 3,      // DecodeProductBlockAvx2
};

using ProductDecoderFunction = void (*)(int32_t iterations, uint32_t selectstp, int32_t* channel,
                                        int32_t* decisions, int32_t nx, int32_t kx, int32_t ny,
                                        int32_t ky, int32_t nz, int32_t kz, int32_t blockSize,
                                        int32_t NUMX, int32_t NUMY, int32_t NUMZ, int32_t planeSize,
                                        int32_t* extrinsicA, int32_t* extrinsicB);

// The implementation of a path, or null when this build lacks it or this
// CPU cannot run it.
ProductDecoderFunction ProductDecoderOf(ProductDecoderPath path);

// The path's row-input step (RowInputsPortable ...), null as above.
using RowInputsFunction = void (*)(const int16_t* channel, const int16_t* a, const int16_t* b,
                                   int16_t weight, int16_t* out);
RowInputsFunction RowInputsOf(ProductDecoderPath path);

// Short lower-case name ("plain", "portable", "sse2", "avx2").
const char* ProductDecoderPathName(ProductDecoderPath path);

// The path chosen for this CPU when nothing is forced.
ProductDecoderPath FastestProductDecoderPath();

// Makes DecodeProductBlock run the given path from now on, in every thread.
// Returns false, changing nothing, when the path is unavailable.
bool SetProductDecoderPath(ProductDecoderPath path);

// The path DecodeProductBlock runs now.
ProductDecoderPath ProductDecoderPathInUse();
