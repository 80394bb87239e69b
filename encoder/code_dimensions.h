// Validation of the code dimensions, shared by the encoder and decoder nodes.
#pragma once

#include <cstdint>

struct CodeDimensions {
    int32_t nx, ny, nz;
    int32_t kx, ky, kz;
};

struct DimensionError {
    int32_t code;         // 0 when the dimensions are valid
    const char* message;  // null when valid
};

// Runs the dimension checks in their fixed order and returns the first
// failure: sizes (1), k > n (2), non-positive (3), then per axis X, Y, Z the
// log2(n) + 1 = n - k rule (4) and the code length (5). Parity axes
// (n - k = 1) and an absent Z axis (nz = 1) skip the last two checks.
DimensionError CheckCodeDimensions(const CodeDimensions& d);

// The log2 rule as the node states it: trunc(log10(n) * 3.322 + 1.0).
int32_t HammingRedundancyOfLength(int32_t n);
