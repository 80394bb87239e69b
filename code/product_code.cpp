#include "code/product_code.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "code/generator_polynomials.h"

namespace tpc {

namespace {

constexpr Status kTooLarge =
    Failure(1, "Code Dimension greater than 256 or Information dimension greater than 255");
constexpr Status kInfoExceedsCode =
    Failure(2, "Information bit dimension greater than code dimension");
constexpr Status kNotPositive =
    Failure(3, "Code dimension or information dimension negative or zero");
constexpr Status kRedundancy =
    Failure(4, "Code dimensions must satisfy log2(n) + 1 = n - k or for parity codes n-k=1");
constexpr Status kLength =
    Failure(5, "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256");
constexpr Status kMalformed =
    Failure(1, "a product code is n,k per axis, two or three axes: 64,57x64,57 or 16,11x16,11x16,11");

// An extended Hamming axis must have n - k = log2(n) + 1 and a supported n.
Status CheckHammingAxis(int32_t n, int32_t k) {
    if (HammingRedundancyOfLength(n) != n - k) return kRedundancy;
    if (HammingOrderOfLength(n) == 0) return kLength;
    return kOk;
}

// One decimal integer in [from, to) with optional blanks around it.
bool ReadInteger(const std::string& text, size_t from, size_t to, int32_t& value) {
    while (from < to && text[from] == ' ') ++from;
    while (to > from && text[to - 1] == ' ') --to;
    if (from == to) return false;
    const std::string digits = text.substr(from, to - from);
    if (digits.find_first_not_of("+-0123456789") != std::string::npos) return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(digits.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < -1000000 || parsed > 1000000) return false;
    value = static_cast<int32_t>(parsed);
    return true;
}

}  // namespace

std::string ProductCode::ToString() const {
    std::string text = std::to_string(nx) + "," + std::to_string(kx) + "x" + std::to_string(ny) +
                       "," + std::to_string(ky);
    if (nz != 1 || kz != 1) text += "x" + std::to_string(nz) + "," + std::to_string(kz);
    return text;
}

Status ParseProductCode(const std::string& text, ProductCode& code) {
    int32_t n[3] = {1, 1, 1}, k[3] = {1, 1, 1};
    int32_t axes = 0;
    size_t start = 0;
    for (;;) {
        const size_t cross = text.find('x', start);
        const size_t end = cross == std::string::npos ? text.size() : cross;
        const size_t comma = text.find(',', start);
        if (axes == 3 || comma == std::string::npos || comma >= end ||
            !ReadInteger(text, start, comma, n[axes]) || !ReadInteger(text, comma + 1, end, k[axes])) {
            return kMalformed;
        }
        ++axes;
        if (cross == std::string::npos) break;
        start = cross + 1;
    }
    if (axes < 2) return kMalformed;
    code = ProductCode{n[0], k[0], n[1], k[1], n[2], k[2]};
    return kOk;
}

int32_t HammingRedundancyOfLength(int32_t n) {
    // 3.322 rather than log2(10): with truncation it gives log2(n) + 1 exactly
    // for the six powers of two.
    return static_cast<int32_t>(std::log10(static_cast<double>(n)) * 3.322 + 1.0);
}

Status CheckProductCode(const ProductCode& c) {
    if (c.nx > 256 || c.ny > 256 || c.nz > 256 || c.kx > 255 || c.ky > 255 || c.kz > 255) {
        return kTooLarge;
    }
    if (c.kx > c.nx || c.ky > c.ny || c.kz > c.nz) return kInfoExceedsCode;
    if (c.nx <= 0 || c.ny <= 0 || c.nz <= 0 || c.kx <= 0 || c.ky <= 0 || c.kz <= 0) {
        return kNotPositive;
    }
    const struct {
        int32_t n, k;
        bool checked;
    } axes[3] = {{c.nx, c.kx, c.nx - c.kx != 1},
                 {c.ny, c.ky, c.ny - c.ky != 1},
                 {c.nz, c.kz, c.nz - c.kz != 1 && c.nz != 1}};
    for (const auto& axis : axes) {
        if (!axis.checked) continue;
        const Status status = CheckHammingAxis(axis.n, axis.k);
        if (!status.ok()) return status;
    }
    return kOk;
}

}  // namespace tpc
