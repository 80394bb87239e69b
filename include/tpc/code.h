// A product code: the component code of each axis and the block they make.
//
// Per axis, n - k == 1 is the single parity code and anything else the
// extended Hamming code of length n (8 ... 256, k = n - log2(n) - 1). A block
// holds N = nx*ny*nz code bits, element (x, y, z) at x + nx*y + nx*ny*z, and
// K = kx*ky*kz information bits at x < kx, y < ky, z < kz, taken and returned
// x fastest. kz >= 2 makes a three-dimensional code; nz = 2 with kz = 1 is a
// two-dimensional code whose second layer is carried along (encoded as zeros,
// not decoded).
#pragma once

#include <cstdint>
#include <string>

#include "tpc/visibility.h"

namespace tpc {
namespace api {

// A product code that passed the checks the nodes make; it cannot hold any
// other. Construction throws std::invalid_argument with the check's message.
class TPC_API Code {
public:
    // The default code, (64,57) x (64,57).
    Code();
    // "64,57x64,57" or "16,11x16,11x16,11" (blanks allowed around numbers).
    explicit Code(const std::string& text);
    Code(int32_t nx, int32_t kx, int32_t ny, int32_t ky, int32_t nz = 1, int32_t kz = 1);

    int32_t nx() const { return nx_; }
    int32_t kx() const { return kx_; }
    int32_t ny() const { return ny_; }
    int32_t ky() const { return ky_; }
    int32_t nz() const { return nz_; }
    int32_t kz() const { return kz_; }
    int32_t N() const { return nx_ * ny_ * nz_; }
    int32_t K() const { return kx_ * ky_ * kz_; }
    double Rate() const { return static_cast<double>(K()) / N(); }
    // 3 when kz >= 2, else 2.
    int32_t Dimensions() const { return kz_ >= 2 ? 3 : 2; }
    // The text form, as the constructor reads it.
    std::string ToString() const;

    bool operator==(const Code& other) const {
        return nx_ == other.nx_ && kx_ == other.kx_ && ny_ == other.ny_ && ky_ == other.ky_ &&
               nz_ == other.nz_ && kz_ == other.kz_;
    }
    bool operator!=(const Code& other) const { return !(*this == other); }

private:
    int32_t nx_ = 64, kx_ = 57, ny_ = 64, ky_ = 57, nz_ = 1, kz_ = 1;
};

}  // namespace api
}  // namespace tpc
