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

#include "code/product_code.h"

namespace tpc {

constexpr int64_t HelicalStep(int32_t nx, int32_t ny, int32_t kz) {
    return kz >= 2 ? int64_t{nx} * ny + nx + 1 : int64_t{nx} + 1;
}

constexpr int32_t HelicalPosition(int32_t i, int64_t step, int32_t blockSize) {
    return static_cast<int32_t>((int64_t{i} * step) % blockSize);
}

// Where received value i (arrival order) is stored in a block of blockSize
// values: its helical position when the values arrive interleaved, i itself
// otherwise.
class HelicalPlacement {
public:
    constexpr HelicalPlacement(bool interleaved, int32_t nx, int32_t ny, int32_t kz, int32_t blockSize)
        : interleaved_(interleaved), step_(HelicalStep(nx, ny, kz)), blockSize_(blockSize) {}
    HelicalPlacement(bool interleaved, const ProductCode& code)
        : HelicalPlacement(interleaved, code.nx, code.ny, code.kz, code.N()) {}

    constexpr int32_t operator()(int32_t i) const {
        return interleaved_ ? HelicalPosition(i, step_, blockSize_) : i;
    }

private:
    bool interleaved_;
    int64_t step_;
    int32_t blockSize_;
};

// The same as a table, for loops that place block after block.
//   placement  out  code.N() block positions, entry i for received value i
inline void FillHelicalPlacement(const ProductCode& code, bool interleaved, int32_t* placement) {
    const HelicalPlacement place(interleaved, code);
    for (int32_t i = 0; i < code.N(); ++i) placement[i] = place(i);
}

}  // namespace tpc
