// Box-Muller over 64-bit uniform words, written as straight-line integer and
// float +, -, *, /, sqrt code that the compiler vectorises. Built with
// -ffp-contract=off (no fused multiply-add) and -fno-math-errno (sqrt as an
// instruction): every build and every vector width gives the same bits.
// Single precision: twice the lanes of double, and half the series terms.
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

inline uint32_t BitsOf(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline float FloatOf(uint32_t bits) {
    float x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// ln x = k ln 2 + ln m with x = 2^k m, sqrt(1/2) <= m < sqrt(2); then
// ln m = 2 atanh(t) = 2 (t + t^3/3 + t^5/5 + ...), t = (m - 1) / (m + 1),
// |t| <= 0.172. Through t^9 the first omitted term is below 2^-27 of the sum.
inline float LogInline(float x) {
    constexpr uint32_t kSqrtHalfBits = 0x3F3504F3u;  // sqrt(1/2)
    constexpr float kLn2 = 0.693147180559945f;
    // Moving sqrt(1/2) to the bottom of an exponent step: the exponent field of
    // `shifted` is then k + 128 and its mantissa bits are those of m - sqrt(1/2).
    const uint32_t shifted = BitsOf(x) - kSqrtHalfBits + (uint32_t{1} << 30);
    const float k = static_cast<float>(static_cast<int32_t>(shifted >> 23) - 128);
    const float m = FloatOf((shifted & 0x7FFFFFu) + kSqrtHalfBits);
    const float t = (m - 1.0f) / (m + 1.0f);  // m - 1 is exact
    const float s = t * t;
    const float series = 1.0f + s * (1.0f / 3 + s * (1.0f / 5 + s * (1.0f / 7 + s * (1.0f / 9))));
    return k * kLn2 + (t + t) * series;
}

// Taylor series on [0, pi/4]: through x^9 for sin and x^10 for cos the first
// omitted term is below 2^-28 of the value.
inline float SinInline(float x) {
    const float s = x * x;
    return x * (1.0f + s * (-1.0f / 6 + s * (1.0f / 120 + s * (-1.0f / 5040 + s * (1.0f / 362880)))));
}

inline float CosInline(float x) {
    const float s = x * x;
    return 1.0f +
           s * (-1.0f / 2 + s * (1.0f / 24 + s * (-1.0f / 720 + s * (1.0f / 40320 + s * (-1.0f / 3628800)))));
}

// The word's high half: its top 31 bits m give the radius uniform
// u = min(fl(m) + 1/2, 2^31 - 128) / 2^31 (the largest float below 2^31),
// never 0 nor 1, so r = sqrt(-2 ln u) is finite and positive (at most 6.67).
// Its low half: the low 24 bits a give the direction of angle
// (a + 1/2) 2 pi / 2^24: quadrant q = a >> 22, then f = a mod 2^22 picks
// psi = (f + 1/2) delta within it, delta = (pi/2) / 2^22. In the lower octant
// (f < 2^21) psi is theta = (f + 1/2) delta itself; in the upper one
// psi = pi/2 - theta with theta = (2^22 - 1 - f + 1/2) delta, whose index is
// f's low 21 bits inverted, and (cos psi, sin psi) = (sin theta, cos theta).
// So theta in (0, pi/4) always, and the octant swap, then the quarter turns
// (q odd swaps, q = 1, 2 negate the first and q = 2, 3 the second) rebuild
// the exact grid of 2^24 equally spaced directions from sin and cos of theta.
inline void PairInline(uint32_t high, uint32_t low, float& first, float& second) {
    constexpr float kQuarterPi = 0.785398163397448f;
    const float m = static_cast<float>(static_cast<int32_t>(high >> 1));
    const float u = std::min(m + 0.5f, 2147483520.0f) * 0x1p-31f;  // exact
    const float r = std::sqrt(-2.0f * LogInline(u));

    const uint32_t q = (low >> 22) & 3;
    const uint32_t upper = (low >> 21) & 1;
    const uint32_t index = (low ^ (0 - upper)) & ((uint32_t{1} << 21) - 1);
    // (index + 1/2) / 2^21 exactly, times pi/4.
    const float theta = (static_cast<float>(static_cast<int32_t>(index)) + 0.5f) * 0x1p-21f * kQuarterPi;
    const uint32_t c = BitsOf(CosInline(theta));
    const uint32_t s = BitsOf(SinInline(theta));

    const uint32_t swap = 0 - (upper ^ (q & 1));
    const uint32_t x = ((c & ~swap) | (s & swap)) ^ (((q ^ (q >> 1)) & 1) << 31);
    const uint32_t y = ((s & ~swap) | (c & swap)) ^ ((q >> 1) << 31);
    first = r * FloatOf(x);
    second = r * FloatOf(y);
}

inline uint64_t Rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

// xoshiro256** on eight lanes side by side (state word w of lane L at
// state[w][L]), its words split in halves, then the transform over 32-bit
// elements only, which fill the vectors twice as well as 64-bit ones.
TPC_WIDE_VECTOR_CLONES void GenerateBatch(uint64_t (*__restrict state)[GaussianStream::kLanes], float* __restrict out) {
    constexpr size_t kLanes = GaussianStream::kLanes;
    alignas(64) uint32_t high[kPairs], low[kPairs];
    for (size_t step = 0; step < kSteps; ++step) {
        // Kept as a loop (not unrolled into scalars) so that it vectorises over the lanes.
#pragma GCC unroll 1
        for (size_t lane = 0; lane < kLanes; ++lane) {
            const uint64_t s1 = state[1][lane];
            const uint64_t word = Rotl(s1 * 5, 7) * 9;
            high[step * kLanes + lane] = static_cast<uint32_t>(word >> 32);
            low[step * kLanes + lane] = static_cast<uint32_t>(word);
            const uint64_t s2 = state[2][lane] ^ state[0][lane];
            const uint64_t s3 = state[3][lane] ^ s1;
            state[0][lane] ^= s3;
            state[1][lane] = s1 ^ s2;
            state[2][lane] = s2 ^ (s1 << 17);
            state[3][lane] = Rotl(s3, 45);
        }
    }
    for (size_t j = 0; j < kPairs; ++j) PairInline(high[j], low[j], out[j], out[kPairs + j]);
}

}  // namespace

GaussianStream::GaussianStream(uint64_t seed) { reseed(seed); }

void GaussianStream::reseed(uint64_t seed) {
    for (size_t lane = 0; lane < kLanes; ++lane)
        for (auto& word : state_) word[lane] = SplitMix64(seed);
    pos_ = kBatch;
}

void GaussianStream::generate(float* out) { GenerateBatch(state_, out); }

void GaussianStream::refill() {
    generate(batch_);
    pos_ = 0;
}

void GaussianStream::fill(float* out, size_t count) {
    while (count > 0) {
        if (pos_ == kBatch && count >= kBatch) {  // whole batches straight into out
            generate(out);
            out += kBatch;
            count -= kBatch;
            continue;
        }
        if (pos_ == kBatch) refill();
        const size_t n = std::min(count, kBatch - pos_);
        std::memcpy(out, batch_ + pos_, n * sizeof(float));
        pos_ += n;
        out += n;
        count -= n;
    }
}

namespace gaussian_detail {

float Log(float x) { return LogInline(x); }
float SinOctant(float x) { return SinInline(x); }
float CosOctant(float x) { return CosInline(x); }

void GaussianPairs(const uint64_t* words, size_t pairs, float* first, float* second) {
    for (size_t j = 0; j < pairs; ++j) {
        PairInline(static_cast<uint32_t>(words[j] >> 32), static_cast<uint32_t>(words[j]), first[j], second[j]);
    }
}

void PlainGaussianPair(uint64_t word, double& first, double& second) {
    const float m = static_cast<float>(static_cast<int32_t>(word >> 33));
    const double u = std::min(m + 0.5f, 2147483520.0f) * 0x1p-31;
    const double r = std::sqrt(-2.0 * std::log(u));
    constexpr double kTwoPi = 6.28318530717958647693;
    const double angle = (static_cast<double>(word & 0xFFFFFF) + 0.5) * (kTwoPi / 0x1p24);
    first = r * std::cos(angle);
    second = r * std::sin(angle);
}

}  // namespace gaussian_detail
}  // namespace tpc::link
