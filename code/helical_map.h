// Helical interleave of a product block.
//
// Output bit i of an interleaved block is block position (i * s) mod N, one
// step along every axis at once: s = nx + 1 for a two-dimensional block and
// nx * ny + nx + 1 for a three-dimensional one (kz >= 2). The decoder stores
// received value i at the same position, which undoes the interleave.
//
// For the largest 3D blocks i * s exceeds 32 bits, so it is formed in 64.
#pragma once

#include <cstdint>

namespace tpc {

constexpr int64_t HelicalStep(int32_t nx, int32_t ny, int32_t kz) {
    return kz >= 2 ? int64_t{nx} * ny + nx + 1 : int64_t{nx} + 1;
}

constexpr int32_t HelicalPosition(int32_t i, int64_t step, int32_t blockSize) {
    return static_cast<int32_t>((int64_t{i} * step) % blockSize);
}

}  // namespace tpc
