// The code tables are built by the compiler from g(x) alone (see
// code_tables.h for the rules), so they cannot drift from the generators and
// are read-only data from load on.
#include "decoder/code_tables.h"

#include <array>

#include "code/generator_polynomials.h"

namespace tpc {

namespace {

// g(x) with bit k the coefficient of x^k, the leading x^m included.
constexpr uint32_t GeneratorAsNumber(int m) {
    const uint8_t* g = GeneratorCoefficients(m);
    uint32_t value = 1u << m;
    for (int j = 0; j < m; ++j) value |= uint32_t{g[j]} << (m - 1 - j);
    return value;
}

// x^e mod g(x) in the syndrome numbering: the coefficient of x^(m-1-j) is
// bit j, so x^(m-1) is bit 0 and x^0 is bit m-1.
constexpr int32_t PowerOfXSyndrome(int m, int e) {
    const uint32_t g = GeneratorAsNumber(m);
    uint32_t remainder = 1;  // x^0
    for (int step = 0; step < e; ++step) {
        remainder <<= 1;
        if (remainder & (1u << m)) remainder ^= g;
    }
    int32_t syndrome = 0;
    for (int j = 0; j < m; ++j) {
        if (remainder & (1u << (m - 1 - j))) syndrome |= 1 << j;
    }
    return syndrome;
}

template <int M>
struct HammingTables {
    static constexpr int32_t kLength = 1 << M;
    std::array<int32_t, kLength> singleError{};
    std::array<int32_t, kLength> positions{};
    std::array<int32_t, kLength*(kLength - 2)> pairs{};
};

template <int M>
constexpr HammingTables<M> BuildTables() {
    constexpr int32_t n = 1 << M;
    constexpr int32_t rowLength = n - 2;
    HammingTables<M> t{};

    for (int32_t i = 0; i <= n - 2; ++i) t.singleError[i] = PowerOfXSyndrome(M, n - 2 - i);
    t.singleError[n - 1] = 0;

    t.positions[0] = n - 1;
    for (int32_t i = 0; i <= n - 2; ++i) t.positions[t.singleError[i]] = i;

    for (int32_t j = 0; j < rowLength; ++j) t.pairs[j] = n - 1;

    for (int32_t v = 1; v <= n - 1; ++v) {
        std::array<bool, n> covered{};
        covered[0] = true;
        covered[v] = true;
        int32_t at = v * rowLength;
        const int32_t anchor = t.singleError[0] ^ t.singleError[v];
        for (int32_t a = 1; a <= n - 1; ++a) {
            if (covered[a]) continue;
            const int32_t b = t.positions[anchor ^ t.singleError[a]];
            t.pairs[at++] = a;
            t.pairs[at++] = b;
            covered[a] = true;
            covered[b] = true;
        }
    }
    return t;
}

constexpr HammingTables<3> kTables8 = BuildTables<3>();
constexpr HammingTables<4> kTables16 = BuildTables<4>();
constexpr HammingTables<5> kTables32 = BuildTables<5>();
constexpr HammingTables<6> kTables64 = BuildTables<6>();
constexpr HammingTables<7> kTables128 = BuildTables<7>();
constexpr HammingTables<8> kTables256 = BuildTables<8>();

// Pins the bit numbering down: for g(x) = x^3 + x + 1, x^2 (position 4) is
// syndrome 1 and x^6 = x^2 + 1 (position 0) is syndrome 5.
static_assert(kTables8.positions[1] == 4 && kTables8.positions[5] == 0);

}  // namespace

int32_t SingleErrorSyndrome(int32_t n, int32_t i) {
    switch (n) {
        case 8: return kTables8.singleError[i];
        case 16: return kTables16.singleError[i];
        case 32: return kTables32.singleError[i];
        case 64: return kTables64.singleError[i];
        case 128: return kTables128.singleError[i];
        case 256: return kTables256.singleError[i];
        default: return 0;
    }
}

const int32_t* SyndromePositionTable(int32_t n) {
    switch (n) {
        case 8: return kTables8.positions.data();
        case 16: return kTables16.positions.data();
        case 32: return kTables32.positions.data();
        case 64: return kTables64.positions.data();
        case 128: return kTables128.positions.data();
        case 256: return kTables256.positions.data();
        default: return nullptr;
    }
}

const int32_t* CompletionPairTable(int32_t n) {
    switch (n) {
        case 8: return kTables8.pairs.data();
        case 16: return kTables16.pairs.data();
        case 32: return kTables32.pairs.data();
        case 64: return kTables64.pairs.data();
        case 128: return kTables128.pairs.data();
        case 256: return kTables256.pairs.data();
        default: return nullptr;
    }
}

}  // namespace tpc
