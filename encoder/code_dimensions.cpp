#include "encoder/code_dimensions.h"

#include <cmath>

#include "encoder/generator_polynomials.h"

namespace {

constexpr DimensionError kValid{0, nullptr};
constexpr DimensionError kTooLarge{
    1, "Code Dimension greater than 256 or Information dimension greater than 255"};
constexpr DimensionError kInfoExceedsCode{
    2, "Information bit dimension greater than code dimension"};
constexpr DimensionError kNotPositive{
    3, "Code dimension or information dimension negative or zero"};
constexpr DimensionError kRedundancy{
    4, "Code dimensions must satisfy log2(n) + 1 = n - k or for parity codes n-k=1"};
constexpr DimensionError kLength{
    5, "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256"};

// An extended Hamming axis must have n - k = log2(n) + 1 and a supported n.
DimensionError CheckHammingAxis(int32_t n, int32_t k) {
    if (HammingRedundancyOfLength(n) != n - k) return kRedundancy;
    if (HammingOrderOfLength(n) == 0) return kLength;
    return kValid;
}

}  // namespace

int32_t HammingRedundancyOfLength(int32_t n) {
    // 3.322 rather than log2(10): with truncation it gives log2(n) + 1 exactly
    // for the six powers of two.
    return static_cast<int32_t>(std::log10(static_cast<double>(n)) * 3.322 + 1.0);
}

DimensionError CheckCodeDimensions(const CodeDimensions& d) {
    if (d.nx > 256 || d.ny > 256 || d.nz > 256 || d.kx > 255 || d.ky > 255 || d.kz > 255) {
        return kTooLarge;
    }
    if (d.kx > d.nx || d.ky > d.ny || d.kz > d.nz) return kInfoExceedsCode;
    if (d.nx <= 0 || d.ny <= 0 || d.nz <= 0 || d.kx <= 0 || d.ky <= 0 || d.kz <= 0) {
        return kNotPositive;
    }
    if (d.nx - d.kx != 1) {
        DimensionError e = CheckHammingAxis(d.nx, d.kx);
        if (e.code != 0) return e;
    }
    if (d.ny - d.ky != 1) {
        DimensionError e = CheckHammingAxis(d.ny, d.ky);
        if (e.code != 0) return e;
    }
    if (d.nz - d.kz != 1 && d.nz != 1) {
        DimensionError e = CheckHammingAxis(d.nz, d.kz);
        if (e.code != 0) return e;
    }
    return kValid;
}
