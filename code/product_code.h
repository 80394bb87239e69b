// A product code: the component code of each axis and the block they make.
//
// Per axis, n - k == 1 is the single parity code and anything else the
// extended Hamming code of length n (k = n - log2(n) - 1). The block is
// N = nx*ny*nz code bits with element (x, y, z) at x + nx*y + nx*ny*z, the
// K = kx*ky*kz information bits at x < kx, y < ky, z < kz.
//
// Shapes:
//   nz = kz = 1    two dimensions, N = nx*ny
//   kz >= 2        three dimensions, every Z line a code word
//   nz > 1, kz = 1 a Z axis with one information layer (nz = 2 is the only
//                  such shape the checks let through: the Z parity code).
//                  It is still coded as two dimensions: only layer 0 is
//                  encoded and decoded, the other layers are carried along
//                  and count in N. Dimensional() tells which applies.
#pragma once

#include <cstdint>
#include <string>

#include "code/status.h"

namespace tpc {

struct ProductCode {
    int32_t nx = 64, kx = 57;
    int32_t ny = 64, ky = 57;
    int32_t nz = 1, kz = 1;

    int32_t N() const { return nx * ny * nz; }
    int32_t K() const { return kx * ky * kz; }
    int32_t PlaneSize() const { return nx * ny; }
    double Rate() const { return static_cast<double>(K()) / N(); }
    // Three-dimensional coding (Z passes, Z line encoding) needs kz >= 2.
    bool ThreeDimensional() const { return kz >= 2; }
    int32_t Dimensions() const { return ThreeDimensional() ? 3 : 2; }
    // "64,57x64,57" or "16,11x16,11x16,11".
    std::string ToString() const;

    bool operator==(const ProductCode& other) const {
        return nx == other.nx && kx == other.kx && ny == other.ny && ky == other.ky &&
               nz == other.nz && kz == other.kz;
    }
    bool operator!=(const ProductCode& other) const { return !(*this == other); }
};

// Copies the six dimensions, and nothing else, between any two records that
// name them nx ... kz: a ProductCode, a parameter block, a node's state.
template <class From, class To>
void CopyCodeDimensions(const From& from, To& to) {
    to.nx = from.nx, to.kx = from.kx, to.ny = from.ny;
    to.ky = from.ky, to.nz = from.nz, to.kz = from.kz;
}

// The code a parameter block or a node's state describes.
template <class Record>
ProductCode ProductCodeOf(const Record& record) {
    ProductCode code;
    CopyCodeDimensions(record, code);
    return code;
}

// Reads "n,k x n,k" or "n,k x n,k x n,k" (blanks allowed around the numbers);
// a missing Z axis is nz = kz = 1. The text is only parsed: CheckProductCode
// decides whether the code is usable. Code 1 with a message on malformed text.
Status ParseProductCode(const std::string& text, ProductCode& code);

// The nodes' dimension checks, in their fixed order, with their codes:
// sizes (1), k > n (2), non-positive (3), then per axis X, Y, Z the log2
// rule n - k = log2(n) + 1 (4) and the code length (5). Parity axes
// (n - k = 1) and an absent Z axis (nz = 1) skip the last two checks.
Status CheckProductCode(const ProductCode& code);

// The log2 rule as the nodes state it: trunc(log10(n) * 3.322 + 1.0).
int32_t HammingRedundancyOfLength(int32_t n);

}  // namespace tpc
