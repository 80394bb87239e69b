// GaussianStream: its sequence against its definition, reading in any mix,
// its ln, sin and cos against libm, and the distribution of a long run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "link/gaussian_stream.h"
#include "link/random_bits.h"
#include "trial_count.h"

namespace tpc::link {
namespace {

using namespace gaussian_detail;

// The batch words of a seed: lane L runs as Random(seed + 4L * golden), word j of a batch from lane j % 8.
std::vector<uint64_t> BatchWords(uint64_t seed, size_t batches) {
    std::vector<Random> lanes;
    for (uint64_t lane = 0; lane < GaussianStream::kLanes; ++lane)
        lanes.emplace_back(seed + 4 * lane * 0x9E3779B97F4A7C15ull);
    std::vector<uint64_t> words(batches * GaussianStream::kBatch / 2);
    for (size_t j = 0; j < words.size(); ++j) words[j] = lanes[j % GaussianStream::kLanes].next();
    return words;
}

TEST(GaussianStream, FollowsItsDefinition) {
    constexpr size_t kPairs = GaussianStream::kBatch / 2, kBatches = 3;
    for (uint64_t seed : {uint64_t{0}, uint64_t{1}, uint64_t{TestSeed(20240611)}}) {
        SCOPED_TRACE(testing::Message() << "seed " << seed);
        GaussianStream stream(seed);
        std::vector<float> samples(kBatches * GaussianStream::kBatch);
        stream.fill(samples.data(), samples.size());
        const std::vector<uint64_t> words = BatchWords(seed, kBatches);
        for (size_t b = 0; b < kBatches; ++b) {
            // Bit for bit what the baseline build of the transform gives: the stream may run a wider clone.
            std::vector<float> first(kPairs), second(kPairs);
            GaussianPairs(&words[b * kPairs], kPairs, first.data(), second.data());
            for (size_t j = 0; j < kPairs; ++j) {
                ASSERT_EQ(samples[b * GaussianStream::kBatch + j], first[j]) << "batch " << b << " word " << j;
                ASSERT_EQ(samples[b * GaussianStream::kBatch + kPairs + j], second[j]) << "batch " << b;
            }
        }
    }

    // The transform against its plain form, on random words and on the extremes of radius and angle
    // (u at 2^-32, at the clamp 1 - 2^-24 and just below it, directions next to the axes and the diagonals),
    // within a few float roundings of the radius.
    std::vector<uint64_t> words = BatchWords(TestSeed(7), 4);
    for (uint64_t angle : {0x000000ull, 0x1FFFFFull, 0x200000ull, 0x3FFFFFull, 0x400000ull, 0xBFFFFFull,
                           0xFFFFFFull})
        for (uint64_t radius : {uint64_t{0}, uint64_t{0x12345678}, uint64_t{0x7FFFFF3F}, uint64_t{0x7FFFFFFF}})
            words.push_back(radius << 33 | angle);
    std::vector<float> first(words.size()), second(words.size());
    GaussianPairs(words.data(), words.size(), first.data(), second.data());
    for (size_t j = 0; j < words.size(); ++j) {
        double plainFirst, plainSecond;
        PlainGaussianPair(words[j], plainFirst, plainSecond);
        const double tolerance = 4e-7 * std::hypot(plainFirst, plainSecond);
        ASSERT_NEAR(first[j], plainFirst, tolerance) << std::hex << "word " << words[j];
        ASSERT_NEAR(second[j], plainSecond, tolerance) << std::hex << "word " << words[j];
    }
}

TEST(GaussianStream, ReadsTheSameInAnyMix) {
    GaussianStream whole(5);
    std::vector<float> expected(4000);
    whole.fill(expected.data(), expected.size());

    // Chunks that start and end inside batches, on their edges and across several.
    GaussianStream mixed(5);
    std::vector<float> got;
    got.push_back(mixed.next());
    for (size_t chunk : {511, 0, 512, 3, 1029, 1, 1100}) {
        got.resize(got.size() + chunk);
        mixed.fill(got.data() + got.size() - chunk, chunk);
        got.push_back(mixed.next());
    }
    while (got.size() < expected.size()) got.push_back(mixed.next());
    EXPECT_EQ(got, expected);

    mixed.reseed(5);
    EXPECT_EQ(mixed.next(), expected[0]);
    GaussianStream other(6);
    EXPECT_NE(other.next(), expected[0]);
}

// Within three float roundings (2^-22 relative) of the double results of libm.
// The sequence must not depend on the build: a digest of the bits of a long stretch, recorded from the
// x86-64 build and held by every other (32-bit under qemu, Windows), where contraction, x87 arithmetic or
// a libm call would show.
TEST(GaussianStream, SameBitsOnEveryBuild) {
    GaussianStream stream(20240611);
    std::vector<float> samples(1 << 16);
    stream.fill(samples.data(), samples.size());
    uint64_t digest = 0xCBF29CE484222325ull;  // FNV-1a over the samples' bits
    for (float v : samples) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        for (int byte = 0; byte < 4; ++byte) digest = (digest ^ ((bits >> (8 * byte)) & 0xFF)) * 0x100000001B3ull;
    }
    EXPECT_EQ(digest, 0x22FE1EC6CF5F5F7Full) << std::hex << digest;
}

TEST(GaussianDetail, LogSinCosAgreeWithLibm) {
    constexpr double kTolerance = 0x1p-22;
    std::mt19937_64 random(TestSeed(3));
    std::uniform_real_distribution<float> mantissa(1.0f, 2.0f), octant(0.0f, static_cast<float>(M_PI / 4));
    std::uniform_int_distribution<int> exponent(-125, 127);
    for (int i = 0; i < 100000; ++i) {
        // Over the whole normal range, and close to 1 where ln x is small.
        const float x = std::ldexp(mantissa(random), exponent(random));
        const float nearOne = 1 + (mantissa(random) - 1.5f) * std::ldexp(1.0f, -(i % 22));
        for (float v : {x, nearOne}) {
            const double exact = std::log(static_cast<double>(v));
            ASSERT_NEAR(Log(v), exact, kTolerance * std::fabs(exact)) << v;
        }
        const float theta = i == 0 ? static_cast<float>(M_PI / 4) : octant(random);
        ASSERT_NEAR(SinOctant(theta), std::sin(static_cast<double>(theta)), kTolerance * std::sin(theta)) << theta;
        ASSERT_NEAR(CosOctant(theta), std::cos(static_cast<double>(theta)), kTolerance * std::cos(theta)) << theta;
    }
    EXPECT_EQ(Log(1.0f), 0.0f);
    EXPECT_EQ(SinOctant(0.0f), 0.0f);
}

TEST(GaussianStream, DistributionOfALongRun) {
    constexpr size_t kChunk = 1 << 16;
    const size_t n = static_cast<size_t>(RandomTrials(1 << 25));
    GaussianStream stream(TestSeed(11));
    std::vector<float> z(kChunk);
    double sum[5] = {}, lag1 = 0, lag256 = 0, maxAbs = 0;
    size_t beyond[6] = {}, nonFinite = 0;
    for (size_t done = 0; done < n; done += kChunk) {
        stream.fill(z.data(), kChunk);
        for (size_t i = 0; i < kChunk; ++i) {
            const double v = z[i], a = std::fabs(v);
            if (!std::isfinite(v)) ++nonFinite;
            sum[1] += v;
            sum[2] += v * v;
            sum[3] += v * v * v;
            sum[4] += v * v * v * v;
            for (int k = 1; k <= 5; ++k) beyond[k] += a > k;
            if (i + 1 < kChunk) lag1 += v * z[i + 1];
            if (i + 256 < kChunk) lag256 += v * z[i + 256];
            maxAbs = std::max(maxAbs, a);
        }
    }
    ASSERT_EQ(nonFinite, 0u);
    const double N = static_cast<double>(n);
    const double mean = sum[1] / N, var = sum[2] / N - mean * mean;
    const double m3 = sum[3] / N - 3 * mean * sum[2] / N + 2 * mean * mean * mean;
    const double m4 = sum[4] / N - 4 * mean * sum[3] / N + 6 * mean * mean * sum[2] / N - 3 * std::pow(mean, 4);
    // Five standard errors of each estimate for a normal sample.
    EXPECT_NEAR(mean, 0, 5 / std::sqrt(N));
    EXPECT_NEAR(var, 1, 5 * std::sqrt(2 / N));
    EXPECT_NEAR(m3 / std::pow(var, 1.5), 0, 5 * std::sqrt(6 / N));
    EXPECT_NEAR(m4 / (var * var) - 3, 0, 5 * std::sqrt(24 / N));
    // Successive samples come from neighbouring lanes; samples j and 256 + j of a batch from one word.
    EXPECT_NEAR(lag1 / N, 0, 5 / std::sqrt(N));
    EXPECT_NEAR(lag256 / N, 0, 5 / std::sqrt(N));

    for (int k = 1; k <= 5; ++k) {
        const double p = std::erfc(k / std::sqrt(2.0));
        EXPECT_NEAR(beyond[k], N * p, 5 * std::sqrt(N * p * (1 - p))) << "P(|z| > " << k << ")";
    }
    // The run reaches the level it exceeds 20 times on average (5 in a full run), and never passes
    // the largest radius, sqrt(2 * 32 ln 2).
    double level = 4;
    while (N * std::erfc((level + 0.01) / std::sqrt(2.0)) >= 20) level += 0.01;
    EXPECT_GT(maxAbs, level);
    EXPECT_LE(maxAbs, std::sqrt(64 * std::log(2.0)));
}

}  // namespace
}  // namespace tpc::link
