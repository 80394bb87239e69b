// Box-Muller over 64-bit uniform words, written as straight-line integer and
// +, -, *, /, sqrt code that the compiler vectorises. Built with
// -ffp-contract=off (no fused multiply-add) and -fno-math-errno (sqrt as an
// instruction): every build and every instruction set gives the same bits.
#include "link/gaussian_stream.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/random_bits.h"
#include "code/vector_clones.h"

namespace tpc::link {
namespace {

constexpr size_t kPairs = GaussianStream::kBatch / 2;
constexpr size_t kSteps = kPairs / GaussianStream::kLanes;

inline uint64_t BitsOf(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double DoubleOf(uint64_t bits) {
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

constexpr uint64_t kOneBits = 0x3FF0000000000000ull;         // 1.0
constexpr uint64_t kMantissaMask = (uint64_t{1} << 52) - 1;

// ln x = k ln 2 + ln m with x = 2^k m, sqrt(1/2) <= m < sqrt(2); then
// ln m = 2 atanh(t) = 2 (t + t^3/3 + t^5/5 + ...), t = (m - 1) / (m + 1),
// |t| <= 0.172. Through t^17 the first omitted term is below 1e-15 of the sum.
inline double LogInline(double x) {
    constexpr uint64_t kSqrtHalfBits = 0x3FE6A09E667F3BCDull;  // sqrt(1/2)
    constexpr double kLn2 = 0.69314718055994530942;
    // Moving sqrt(1/2) to the bottom of an exponent step: the exponent field of
    // `shifted` is then k + 1024 and its mantissa bits are those of m - sqrt(1/2).
    const uint64_t shifted = BitsOf(x) - kSqrtHalfBits + (uint64_t{1} << 62);
    const double k = DoubleOf(0x4330000000000000ull | (shifted >> 52)) - (0x1p52 + 1024.0);
    const double m = DoubleOf((shifted & kMantissaMask) + kSqrtHalfBits);
    const double t = (m - 1.0) / (m + 1.0);  // m - 1 is exact
    const double s = t * t;
    const double series =
        1.0 +
        s * (1.0 / 3 +
             s * (1.0 / 5 +
                  s * (1.0 / 7 +
                       s * (1.0 / 9 +
                            s * (1.0 / 11 + s * (1.0 / 13 + s * (1.0 / 15 + s * (1.0 / 17))))))));
    return k * kLn2 + (t + t) * series;
}

// Taylor series on [0, pi/4]: through x^15 for sin and x^16 for cos the first
// omitted term is below 1e-15 of the value.
inline double SinInline(double x) {
    const double s = x * x;
    return x * (1.0 +
                s * (-1.0 / 6 +
                     s * (1.0 / 120 +
                          s * (-1.0 / 5040 +
                               s * (1.0 / 362880 +
                                    s * (-1.0 / 39916800 +
                                         s * (1.0 / 6227020800 + s * (-1.0 / 1307674368000))))))));
}

inline double CosInline(double x) {
    const double s = x * x;
    return 1.0 +
           s * (-1.0 / 2 +
                s * (1.0 / 24 +
                     s * (-1.0 / 720 +
                          s * (1.0 / 40320 +
                               s * (-1.0 / 3628800 +
                                    s * (1.0 / 479001600 +
                                         s * (-1.0 / 87178291200 + s * (1.0 / 20922789888000))))))));
}

// Word w: the top 40 bits give the radius uniform u = (w >> 24) + 1/2 over
// 2^40, never 0 nor 1, so r = sqrt(-2 ln u) is finite and positive (at most
// 7.54). The low 24 bits a give the direction of angle (a + 1/2) 2 pi / 2^24:
// quadrant q = a >> 22, then f = a mod 2^22 picks psi = (f + 1/2) delta within
// it, delta = (pi/2) / 2^22. In the lower octant (f < 2^21) psi is theta =
// (f + 1/2) delta itself; in the upper one psi = pi/2 - theta with theta =
// (2^22 - 1 - f + 1/2) delta, whose index is f's low 21 bits inverted, and
// (cos psi, sin psi) = (sin theta, cos theta). So theta in (0, pi/4) always,
// and the octant swap, then the quarter turns (q odd swaps, q = 1, 2 negate
// the first and q = 2, 3 the second) rebuild the exact grid of 2^24 equally
// spaced directions from sin and cos of theta.
inline void PairInline(uint64_t w, double& first, double& second) {
    constexpr double kQuarterPi = 0.78539816339744830962;
    const double u = DoubleOf(kOneBits | ((w >> 24) << 12) | (uint64_t{1} << 11)) - 1.0;  // exact
    const double r = std::sqrt(-2.0 * LogInline(u));

    const uint64_t q = (w >> 22) & 3;
    const uint64_t upper = (w >> 21) & 1;
    const uint64_t index = (w ^ (0 - upper)) & ((uint64_t{1} << 21) - 1);
    // (index + 1/2) / 2^21 exactly, times pi/4.
    const double theta = (DoubleOf(kOneBits | (index << 31) | (uint64_t{1} << 30)) - 1.0) * kQuarterPi;
    const uint64_t c = BitsOf(CosInline(theta));
    const uint64_t s = BitsOf(SinInline(theta));

    const uint64_t swap = 0 - (upper ^ (q & 1));
    const uint64_t x = ((c & ~swap) | (s & swap)) ^ (((q ^ (q >> 1)) & 1) << 63);
    const uint64_t y = ((s & ~swap) | (c & swap)) ^ ((q >> 1) << 63);
    first = r * DoubleOf(x);
    second = r * DoubleOf(y);
}

inline void PairsInline(const uint64_t* __restrict words, size_t pairs, double* __restrict first,
                        double* __restrict second) {
    for (size_t j = 0; j < pairs; ++j) PairInline(words[j], first[j], second[j]);
}

inline uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// xoshiro256** on eight lanes side by side (state word w of lane L at
// state[w][L]), then the transform.
TPC_VECTOR_CLONES void GenerateBatch(uint64_t (*__restrict state)[GaussianStream::kLanes],
                                    double* __restrict out) {
    constexpr size_t kLanes = GaussianStream::kLanes;
    alignas(64) uint64_t words[kPairs];
    for (size_t step = 0; step < kSteps; ++step) {
        // Kept as a loop (not unrolled into scalars) so that it vectorises over the lanes.
#pragma GCC unroll 1
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const uint64_t s1 = state[1][lane];
            words[step * kLanes + lane] = Rotl(s1 * 5, 7) * 9;
            const uint64_t s2 = state[2][lane] ^ state[0][lane];
            const uint64_t s3 = state[3][lane] ^ s1;
            state[0][lane] ^= s3;
            state[1][lane] = s1 ^ s2;
            state[2][lane] = s2 ^ (s1 << 17);
            state[3][lane] = Rotl(s3, 45);
        }
    }
    PairsInline(words, kPairs, out, out + kPairs);
}

}  // namespace

GaussianStream::GaussianStream(uint64_t seed) { reseed(seed); }

void GaussianStream::reseed(uint64_t seed) {
    for (size_t lane = 0; lane < kLanes; ++lane)
        for (auto& word : state_) word[lane] = SplitMix64(seed);
    pos_ = kBatch;
}

void GaussianStream::generate(double* out) { GenerateBatch(state_, out); }

void GaussianStream::refill() {
    generate(batch_);
    pos_ = 0;
}

void GaussianStream::fill(double* out, size_t count) {
    while (count > 0) {
        if (pos_ == kBatch && count >= kBatch) {  // whole batches straight into out
            generate(out);
            out += kBatch;
            count -= kBatch;
            continue;
        }
        if (pos_ == kBatch) refill();
        const size_t n = std::min(count, kBatch - pos_);
        std::memcpy(out, batch_ + pos_, n * sizeof(double));
        pos_ += n;
        out += n;
        count -= n;
    }
}

namespace gaussian_detail {

double Log(double x) { return LogInline(x); }
double SinOctant(double x) { return SinInline(x); }
double CosOctant(double x) { return CosInline(x); }

void GaussianPairs(const uint64_t* words, size_t pairs, double* first, double* second) {
    PairsInline(words, pairs, first, second);
}

void PlainGaussianPair(uint64_t word, double& first, double& second) {
    const double u = (static_cast<double>(word >> 24) + 0.5) * 0x1p-40;
    const double r = std::sqrt(-2.0 * std::log(u));
    constexpr double kTwoPi = 6.28318530717958647693;
    const double angle = (static_cast<double>(word & 0xFFFFFF) + 0.5) * (kTwoPi / 0x1p24);
    first = r * std::cos(angle);
    second = r * std::sin(angle);
}

}  // namespace gaussian_detail
}  // namespace tpc::link
