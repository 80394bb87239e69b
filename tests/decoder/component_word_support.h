// Helpers shared by the component decoder tests: seeds, random words and an
// independent reference for extended Hamming syndromes and codewords.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace component_test {

inline constexpr int32_t kHammingLengths[] = {8, 16, 32, 64, 128, 256};

// Fixed default seed; TPC_TEST_SEED overrides it to reproduce or widen a run.
inline uint32_t TestSeed(uint32_t fallback) {
    const char* text = std::getenv("TPC_TEST_SEED");
    return text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : fallback;
}

inline int32_t OrderOf(int32_t n) {
    int32_t m = 0;
    while ((1 << m) < n) ++m;
    return m;
}

// Remainder of sum bits[i] x^(n-2-i) modulo g(x) by long division, reported
// with the coefficient of x^(m-1-j) as bit j. The generators are written as
// numbers (bit k = coefficient of x^k), kept apart from the shared
// coefficient table on purpose.
template <typename Bit>
int32_t ReferenceSyndrome(int32_t n, const Bit* bits) {
    static constexpr uint32_t kGenerators[] = {0xB, 0x13, 0x25, 0x43, 0x89, 0x11D};
    const int32_t m = OrderOf(n);
    uint32_t remainder = 0;
    for (int32_t i = 0; i <= n - 2; ++i) {  // Horner: highest power first
        remainder = (remainder << 1) | (bits[i] & 1u);
        if (remainder & (1u << m)) remainder ^= kGenerators[m - 3];
    }
    int32_t syndrome = 0;
    for (int32_t j = 0; j < m; ++j) {
        if (remainder & (1u << (m - 1 - j))) syndrome |= 1 << j;
    }
    return syndrome;
}

template <typename Bit>
bool IsHammingCodeword(int32_t n, const Bit* bits) {
    uint32_t weight = 0;
    for (int32_t i = 0; i < n; ++i) weight += bits[i] & 1u;
    return weight % 2 == 0 && ReferenceSyndrome(n, bits) == 0;
}

// Reference single-error syndromes S(0) ... S(n-1), S(n-1) = 0.
inline std::vector<int32_t> ReferenceUnitSyndromes(int32_t n) {
    std::vector<int32_t> s(n, 0);
    std::vector<uint8_t> unit(n, 0);
    for (int32_t i = 0; i <= n - 2; ++i) {
        unit[i] = 1;
        s[i] = ReferenceSyndrome(n, unit.data());
        unit[i] = 0;
    }
    return s;
}

}  // namespace component_test
