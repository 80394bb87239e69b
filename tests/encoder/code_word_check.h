// Test-side checks of component code words, written from the generator
// numbers alone so that they share no code with the encoder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace encoder_test {

// g(x) of the cyclic Hamming code of order m at index m - 3, leading term
// included: x^3+x+1, x^4+x+1, x^5+x^2+1, x^6+x+1, x^7+x^3+1,
// x^8+x^4+x^3+x^2+1.
inline constexpr uint32_t kGeneratorNumbers[6] = {0xB, 0x13, 0x25, 0x43, 0x89, 0x11D};

inline int32_t Log2OfLength(int32_t n) {
    int32_t m = 0;
    while ((1 << m) < n) ++m;
    return m;
}

// True when positions 0 ... n-2 of `bits` (position 0 the highest power)
// form a polynomial divisible by the generator of the length-n code.
inline bool DivisibleByGenerator(int32_t n, const std::vector<int32_t>& bits) {
    const int32_t m = Log2OfLength(n);
    const uint32_t g = kGeneratorNumbers[m - 3];
    uint32_t remainder = 0;
    for (int32_t i = 0; i <= n - 2; ++i) {
        remainder = (remainder << 1) | static_cast<uint32_t>(bits[i]);
        if (remainder & (1u << m)) remainder ^= g;
    }
    return remainder == 0;
}

inline bool EvenWeight(const std::vector<int32_t>& bits) {
    int32_t sum = 0;
    for (int32_t b : bits) sum ^= b;
    return sum == 0;
}

inline bool AllBits(const std::vector<int32_t>& bits) {
    for (int32_t b : bits) {
        if (b != 0 && b != 1) return false;
    }
    return true;
}

// Fixed seed, overridable with TPC_TEST_SEED to replay or widen a run.
inline uint32_t TestSeed() {
    const char* text = std::getenv("TPC_TEST_SEED");
    return text != nullptr ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 20250117u;
}

}  // namespace encoder_test
