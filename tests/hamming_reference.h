// Test oracle for the component codes, from their definition, sharing nothing with the library.
// The extended Hamming code of length n = 2^m holds in positions 0 ... n-2 the coefficients of
// x^(n-2) ... x^0 of a multiple of g(x), information first, and in n-1 the overall parity. The
// soft decoder examines the codewords the decoder should, found by plain search, scored afresh.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

namespace reference {

inline constexpr int32_t kHammingLengths[] = {8, 16, 32, 64, 128, 256};

inline int32_t OrderOf(int32_t n) { return n <= 8 ? 3 : 1 + OrderOf(n / 2); }
inline int32_t InformationLength(int32_t n) { return n - OrderOf(n) - 1; }

// g(x) with bit k the coefficient of x^k: x^3+x+1, x^4+x+1, x^5+x^2+1, x^6+x+1, x^7+x^3+1, x^8+x^4+x^3+x^2+1.
inline uint32_t Generator(int32_t m) {
    static constexpr uint32_t kGenerators[] = {0xB, 0x13, 0x25, 0x43, 0x89, 0x11D};
    return kGenerators[m - 3];
}

// sum bits[i] x^(n-2-i) mod g(x) by long division, x^k as bit k.
template <typename Bit>
uint32_t Remainder(int32_t n, const Bit* bits) {
    const int32_t m = OrderOf(n);
    uint32_t remainder = 0;
    for (int32_t i = 0; i <= n - 2; ++i) {
        remainder = (remainder << 1) | static_cast<uint32_t>(bits[i] & 1);
        if (remainder & (1u << m)) remainder ^= Generator(m);
    }
    return remainder;
}

// The systematic codeword of `info` (k bits): x^m info(x) plus its remainder, then the overall parity.
inline std::vector<int32_t> Encode(int32_t n, const std::vector<int32_t>& info) {
    const int32_t m = OrderOf(n), k = InformationLength(n);
    std::vector<int32_t> word(info.begin(), info.begin() + k);
    word.resize(n, 0);
    const uint32_t remainder = Remainder(n, word.data());
    for (int32_t j = 0; j < m; ++j) word[k + j] = (remainder >> (m - 1 - j)) & 1u;
    for (int32_t i = 0; i < n - 1; ++i) word[n - 1] ^= word[i];
    return word;
}

struct SoftWord { std::vector<uint8_t> hard; std::vector<int32_t> soft; uint8_t kept = 2, corrected = 2; };

// The best of the algebraic decision D and every codeword that inverts the two least reliable positions p1, p2 of D
// (signed by agreement with the entry, ties to the lower index, p1 never the parity position) and two more; ties go
// to D, then to the competitor whose smaller position, counted cyclically from p1, comes first. Each returned
// reliability is the smallest metric gap to an examined codeword with the other bit there.
inline SoftWord DecodeHamming(int32_t n, const std::vector<uint8_t>& hard, const std::vector<int32_t>& soft) {
    // unit[i] = x^(n-2-i) mod g(x), the remainder of a single 1 at i.
    const int32_t m = OrderOf(n);
    std::vector<uint32_t> unit(n, 0);
    std::vector<int32_t> positionOf(n, n - 1);
    for (int32_t i = n - 2; i >= 0; --i) {
        unit[i] = i == n - 2 ? 1u : unit[i + 1] << 1;
        if (unit[i] & (1u << m)) unit[i] ^= Generator(m);
        positionOf[unit[i]] = i;
    }
    const uint32_t syndrome = Remainder(n, hard.data());
    std::vector<uint8_t> d = hard;
    if (syndrome != 0) d[positionOf[syndrome]] ^= 1;
    if (std::accumulate(d.begin(), d.end(), 0) % 2 != 0) d[n - 1] ^= 1;

    std::vector<int32_t> signedSoft(n), order(n);
    for (int32_t i = 0; i < n; ++i) signedSoft[i] = d[i] == hard[i] ? soft[i] : -soft[i];
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t x, int32_t y) { return signedSoft[x] < signedSoft[y]; });
    int32_t p1 = order[0], p2 = order[1];
    if (p1 == n - 1) std::swap(p1, p2);

    // Examined codewords as the positions they invert in D, D itself first.
    const auto fromP1 = [&](int32_t i) { return i == n - 1 ? i : (i - p1 + n - 1) % (n - 1); };
    std::vector<std::vector<int32_t>> flips;
    for (int32_t a = 0; a < n; ++a) {
        const int32_t b = positionOf[unit[p1] ^ unit[p2] ^ unit[a]];
        if (a == p1 || a == p2 || b <= a || b == p1 || b == p2) continue;
        flips.push_back({p1, p2, a, b});
    }
    std::stable_sort(flips.begin(), flips.end(), [&](const auto& x, const auto& y) {
        return std::min(fromP1(x[2]), fromP1(x[3])) < std::min(fromP1(y[2]), fromP1(y[3]));
    });
    flips.insert(flips.begin(), std::vector<int32_t>{});

    int32_t metricOfD = 0;
    for (int32_t i = 0; i < n; ++i) metricOfD += d[i] != hard[i] ? soft[i] : 0;
    std::vector<int32_t> metric(flips.size(), metricOfD);
    size_t winner = 0;
    for (size_t c = 0; c < flips.size(); ++c) {
        for (int32_t p : flips[c]) metric[c] += signedSoft[p];
        if (metric[c] < metric[winner]) winner = c;
    }

    SoftWord out{d, std::vector<int32_t>(n, -1)};
    for (int32_t p : flips[winner]) out.hard[p] ^= 1;
    const auto inverts = [](const std::vector<int32_t>& f, int32_t p) {
        return std::find(f.begin(), f.end(), p) != f.end();
    };
    for (size_t c = 0; c < flips.size(); ++c) {
        const int32_t gap = metric[c] - metric[winner];
        for (const auto* f : {&flips[c], &flips[winner]}) {
            for (int32_t p : *f) {  // where codeword c and the winner differ
                if (inverts(flips[c], p) == inverts(flips[winner], p)) continue;
                if (out.soft[p] < 0 || gap < out.soft[p]) out.soft[p] = gap;
            }
        }
    }
    out.kept = winner == 0 ? 1 : 0, out.corrected = syndrome == 0 && winner == 0 ? 0 : 1;
    return out;
}

}  // namespace reference
