// Iterative product decoder: worked row-input examples, pass counts and
// selective stop, clipping, round trips through the encoder, and bit-exact
// agreement with a plain reference of both schedules (the 2D-in-3D case
// included).
#include "decoder/product_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <ostream>
#include <random>
#include <thread>
#include <vector>

#include "component_word_support.h"
#include "decoder/hamming_decoder.h"
#include "decoder/parity_decoder.h"
#include "decoder/quantizer.h"
#include "decoder/word_steps.h"
#include "encoder/product_encoder.h"

namespace {

using component_test::TestSeed;

constexpr int32_t kUntouched = 7;  // prefill of decisions; never a bit

struct Geometry {
    int32_t nx, ny, nz, kx, ky, kz;

    int32_t N() const { return nx * ny * nz; }
    int32_t K() const { return kx * ky * kz; }
    int32_t Plane() const { return nx * ny; }
    bool ThreeD() const { return kz >= 2; }
    int32_t Index(int32_t x, int32_t y, int32_t z) const { return nx * ny * z + nx * y + x; }
};

std::ostream& operator<<(std::ostream& out, const Geometry& g) {
    return out << g.nx << "x" << g.ny << "x" << g.nz << " k=" << g.kx << "," << g.ky << ","
               << g.kz;
}

struct Weights {
    int32_t x = 7, y = 7, z = 7;
};

// The buffers of one decode, as the node holds them.
struct DecodeRun {
    std::vector<int32_t> channel, decisions, a, b;
    int32_t passCounter = 0;
};

DecodeRun RunDecoder(const Geometry& g, int32_t iterations, bool selectiveStop,
                     std::vector<int32_t> channel, Weights w = {}) {
    DecodeRun run{std::move(channel), std::vector<int32_t>(g.N(), kUntouched),
                  std::vector<int32_t>(g.N(), -5), std::vector<int32_t>(g.N(), -5), 0};
    DecodeProductBlock(iterations, selectiveStop ? 1u : 0u, run.channel.data(),
                       run.decisions.data(), g.nx, g.kx, g.ny, g.ky, g.nz, g.kz, g.N(), w.x, w.y,
                       w.z, g.Plane(), run.a.data(), run.b.data());
    run.passCounter = DecoderPassCounter();
    return run;
}

// ---- plain reference, line by line from the description of the schedules ----

// Decodes the line through the listed elements; returns correctionMade.
uint8_t ReferenceLine(int32_t n, int32_t k, int32_t weight, const std::vector<int32_t>& elements,
                      DecodeRun& run, const std::vector<int32_t>* storeB, std::vector<int32_t>& target) {
    std::vector<int32_t> r(n), rel(n);
    std::vector<uint8_t> bit(n);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t e = elements[i];
        const int32_t f = (run.a[e] + (storeB ? (*storeB)[e] : 0)) * weight;
        r[i] = std::clamp(run.channel[e] + (f >= 0 ? f / 16 : -(-f / 16)), -SoftLimit, SoftLimit);
        bit[i] = r[i] > 0;
        rel[i] = r[i] > 0 ? r[i] : -r[i];
    }
    uint8_t kept = 0, corrected = 0;
    if (n - k == 1) {
        DecodeParityWord(n, bit.data(), rel.data(), &kept, &corrected);
    } else {
        DecodeHammingWord(n, bit.data(), rel.data(), &kept, &corrected);
    }
    for (int32_t i = 0; i < n; ++i) {
        target[elements[i]] = (bit[i] == 1 ? rel[i] : -rel[i]) - r[i];
        run.decisions[elements[i]] = bit[i];
    }
    return corrected;
}

// The element lists of every line of one axis, in pass order: X rows z, y;
// Y columns z, x; Z lines y, x.
std::vector<std::vector<int32_t>> LinesOf(const Geometry& g, int axis, int32_t planes) {
    const int32_t length[3] = {g.nx, g.ny, g.nz};
    std::vector<std::vector<int32_t>> lines;
    for (int32_t z = 0; z < (axis == 2 ? 1 : planes); ++z)
        for (int32_t y = 0; y < (axis == 1 ? 1 : g.ny); ++y)
            for (int32_t x = 0; x < (axis == 0 ? 1 : g.nx); ++x) {
                lines.emplace_back();
                for (int32_t t = 0; t < length[axis]; ++t)
                    lines.back().push_back(g.Index(x + (axis == 0) * t, y + (axis == 1) * t, z + (axis == 2) * t));
            }
    return lines;
}

DecodeRun ReferenceDecode(const Geometry& g, int32_t iterations, bool selectiveStop,
                          std::vector<int32_t> channel, Weights w = {}) {
    DecodeRun run{std::move(channel), std::vector<int32_t>(g.N(), kUntouched),
                  std::vector<int32_t>(g.N(), -5), std::vector<int32_t>(g.N(), -5), 0};
    for (int32_t& c : run.channel) c = std::clamp(c, -31, 31);
    const int32_t axes[3][3] = {{g.nx, g.kx, w.x}, {g.ny, g.ky, w.y}, {g.nz, g.kz, w.z}};
    int32_t counter = 1;
    auto pass = [&](int axis, int32_t planes, const std::vector<int32_t>* storeB,
                    std::vector<int32_t>& target) {
        uint8_t flag = 0;
        for (const auto& line : LinesOf(g, axis, planes))
            flag |= ReferenceLine(axes[axis][0], axes[axis][1], axes[axis][2], line, run, storeB, target);
        ++counter;
        return flag;
    };

    if (!g.ThreeD()) {
        std::fill(run.a.begin(), run.a.begin() + g.Plane(), 0);
        uint8_t flag = 1;
        while (counter <= iterations && !(selectiveStop && flag == 0)) {
            flag = pass(0, 1, nullptr, run.a);
            if (selectiveStop && flag == 0) break;
            flag = pass(1, 1, nullptr, run.a);
        }
    } else {
        std::fill(run.a.begin(), run.a.end(), 0);
        std::fill(run.b.begin(), run.b.end(), 0);
        uint8_t last = 1, before = 1;
        // The counter is checked only before each X pass: a round runs whole.
        for (int32_t passesRun = 0; passesRun % 3 != 0 || counter <= iterations; ++passesRun) {
            if (selectiveStop && last == 0 && before == 0) break;
            before = last;
            last = pass(passesRun % 3, g.nz, &run.b, passesRun % 2 == 0 ? run.a : run.b);
        }
    }
    run.passCounter = counter;
    return run;
}

// ---- block making ----

std::vector<int32_t> EncodeRandom(const Geometry& g, std::mt19937& rng) {
    std::vector<double> info(g.K());
    for (double& b : info) b = static_cast<double>(rng() & 1u);
    std::vector<int32_t> out(g.N()), grid(g.N()), block(g.N(), 0), word(256), parity(16);
    EncodeProductBlock(0, info.data(), out.data(), grid.data(), block.data(), word.data(),
                       parity.data(), g.nx, g.ny, g.nz, g.kx, g.ky, g.kz, g.N());
    return block;
}

std::vector<int32_t> Noiseless(const std::vector<int32_t>& block) {
    std::vector<int32_t> channel(block.size());
    for (size_t i = 0; i < channel.size(); ++i) channel[i] = block[i] ? 31 : -31;
    return channel;
}

// BPSK +-1 plus Gaussian noise, quantised as the node does (5 bits, limit 1.4).
std::vector<int32_t> Noisy(const std::vector<int32_t>& block, double sigma, std::mt19937& rng) {
    const int32_t n = static_cast<int32_t>(block.size());
    std::normal_distribution<double> noise(0.0, sigma);
    std::vector<double> received(n);
    for (int32_t i = 0; i < n; ++i) received[i] = (block[i] ? 1.0 : -1.0) + noise(rng);
    std::vector<int32_t> channel(n);
    QuantizeBlock(5, 1.4, 0, received.data(), channel.data(), n, 1, 1, n);
    return channel;
}

// Every component code kind on some axis: all six Hamming lengths, parity
// axes (including 248, whose k would name the 256 Hamming code), 2D and 3D.
const Geometry kRoundTripGeometries[] = {
    {8, 8, 1, 4, 4, 1},        {16, 16, 1, 11, 11, 1},   {32, 32, 1, 26, 26, 1},
    {64, 64, 1, 57, 57, 1},    {128, 8, 1, 120, 4, 1},   {256, 16, 1, 247, 11, 1},
    {10, 12, 1, 9, 11, 1},     {248, 8, 1, 247, 4, 1},   {64, 13, 1, 57, 12, 1},
    {8, 8, 8, 4, 4, 4},        {16, 16, 16, 11, 11, 11}, {6, 5, 4, 5, 4, 3},
    {8, 8, 256, 4, 4, 247},    {32, 8, 7, 26, 7, 6},
};

// ---- tests ----

TEST(ProductDecoderSteps, RowInputWorkedExamples) {
    struct Case {
        int32_t channel, feedback, weight, expected;
    };
    const Case cases[] = {
        {5, 100, 7, 48},      // trunc(700 / 16) + 5
        {0, -15, 1, 0},       // weighted feedback -15 contributes 0
        {0, -17, 1, -1},      // -17 contributes -1, not -2
        {0, 17, 1, 1},
        {-31, -16, 16, -47},  // exact multiple
        {31, 5000, 16, SoftLimit},
        {-31, -5000, 16, -SoftLimit},
        {3, 0, 16, 3},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RowInput(c.channel, c.feedback, c.weight), c.expected)
            << "channel " << c.channel << " feedback " << c.feedback << " weight " << c.weight;
    }
    // Component decoder keeps bit 1 with reliability 60, or turns to 0 with 20.
    EXPECT_EQ(ExtrinsicValue(1, 60, 48), 12);
    EXPECT_EQ(ExtrinsicValue(0, 20, 48), -68);
    EXPECT_EQ(ExtrinsicValue(0, 0, 0), 0);
}

TEST(ProductDecoder, PassCountsWithoutSelectiveStop) {
    const Geometry g2{16, 16, 1, 11, 11, 1};
    const Geometry g3{8, 8, 8, 4, 4, 4};
    const struct {
        Geometry g;
        int32_t iterations, expectedCounter;
    } cases[] = {
        {g2, 64, 65}, {g2, 5, 7}, {g2, 1, 3}, {g2, 2, 3}, {g2, 0, 1}, {g2, -4, 1},
        {g3, 64, 67}, {g3, 5, 7}, {g3, 1, 4}, {g3, 3, 4}, {g3, 4, 7}, {g3, 0, 1}, {g3, -1, 1},
    };
    const uint32_t seed = TestSeed(101);
    std::mt19937 rng(seed);
    for (const auto& c : cases) {
        const DecodeRun run = RunDecoder(c.g, c.iterations, false, Noisy(EncodeRandom(c.g, rng), 0.5, rng));
        EXPECT_EQ(run.passCounter, c.expectedCounter) << c.g << " iterations " << c.iterations << " seed " << seed;
        if (c.iterations <= 0) {
            EXPECT_EQ(run.decisions, std::vector<int32_t>(c.g.N(), kUntouched)) << c.g << " iterations " << c.iterations;
        }
    }
}

// Clean block: no row corrects anything, so 2D stops after the X pass and 3D
// after X and Y (two quiet passes).
TEST(ProductDecoder, SelectiveStopOnCleanBlocks) {
    const struct {
        Geometry g;
        int32_t expectedCounter;
    } cases[] = {
        {{64, 64, 1, 57, 57, 1}, 2}, {{10, 12, 1, 9, 11, 1}, 2}, {{8, 8, 8, 4, 4, 4}, 3}, {{6, 5, 4, 5, 4, 3}, 3},
    };
    const uint32_t seed = TestSeed(102);
    std::mt19937 rng(seed);
    for (const auto& c : cases) {
        const std::vector<int32_t> block = EncodeRandom(c.g, rng);
        const DecodeRun stopped = RunDecoder(c.g, 64, true, Noiseless(block));
        EXPECT_EQ(stopped.passCounter, c.expectedCounter) << c.g << " seed " << seed;
        EXPECT_EQ(stopped.decisions, block) << c.g;
    }
}

// Values beyond +-31 decode exactly as +-31 and are left clipped, also when
// no pass runs; zero stays zero (bit 0 with reliability 0).
TEST(ProductDecoder, ChannelClippedToThirtyOne) {
    const Geometry g{16, 16, 1, 11, 11, 1};
    std::mt19937 rng(TestSeed(103));
    std::vector<int32_t> clipped = Noiseless(EncodeRandom(g, rng));
    std::vector<int32_t> wide = clipped;
    const int32_t beyond[] = {40, 32, 1000, INT32_MAX};
    for (int32_t i = 0; i < g.N(); ++i) wide[i] = clipped[i] > 0 ? beyond[i % 4] : -beyond[(i + 1) % 4];
    wide[0] = INT32_MIN;
    clipped[0] = -31;
    wide[1] = clipped[1] = 0;
    for (int32_t iterations : {0, 4}) {
        const DecodeRun a = RunDecoder(g, iterations, false, wide);
        EXPECT_EQ(a.channel, clipped) << "iterations " << iterations;
        EXPECT_EQ(a.decisions, RunDecoder(g, iterations, false, clipped).decisions) << "iterations " << iterations;
    }
}

TEST(ProductDecoder, RoundTripsThroughTheEncoder) {
    const uint32_t seed = TestSeed(105);
    std::mt19937 rng(seed);
    int32_t channelErrors = 0;
    for (const Geometry& g : kRoundTripGeometries) {
        const std::vector<int32_t> block = EncodeRandom(g, rng);
        EXPECT_EQ(RunDecoder(g, 4, false, Noiseless(block)).decisions, block) << g << " noiseless, seed " << seed;
        const std::vector<int32_t> noisy = Noisy(block, 0.35, rng);
        for (int32_t i = 0; i < g.N(); ++i) channelErrors += (noisy[i] > 0) != (block[i] == 1);
        EXPECT_EQ(RunDecoder(g, 16, false, noisy).decisions, block) << g << " noisy, seed " << seed;
    }
    EXPECT_GT(channelErrors, 20) << "the noise should have flipped some hard decisions";
}

TEST(ProductDecoder, AgreesWithPlainReference) {
    // Random geometry, weights, pass count and stop flag; channels from noisy
    // code words and from pure noise. Compared bit for bit, stores included.
    const Geometry geometries[] = {
        {8, 8, 1, 4, 4, 1},     {16, 32, 1, 11, 26, 1}, {64, 64, 1, 57, 57, 1},
        {10, 12, 1, 9, 11, 1},  {248, 8, 1, 247, 4, 1}, {256, 16, 1, 247, 11, 1},
        {16, 16, 3, 11, 11, 1}, {8, 8, 8, 4, 4, 4},     {6, 5, 4, 5, 4, 3},
        {16, 8, 32, 11, 4, 26}, {8, 8, 256, 4, 4, 247},
    };
    const uint32_t seed = TestSeed(106);
    std::mt19937 rng(seed);
    for (int trial = 0; trial < 60; ++trial) {
        const Geometry& g = geometries[trial % std::size(geometries)];
        const bool pureNoise = (trial / std::size(geometries)) % 2 == 1;
        const Weights w{int32_t(1 + rng() % 16), int32_t(1 + rng() % 16), int32_t(1 + rng() % 16)};
        const int32_t iterations = static_cast<int32_t>(rng() % 12) - 1;
        const bool selectiveStop = rng() % 2 == 1;
        std::vector<int32_t> channel;
        if (pureNoise) {
            channel.resize(g.N());
            for (int32_t& c : channel) c = static_cast<int32_t>(rng() % 81) - 40;
        } else {
            channel = Noisy(EncodeRandom(g, rng), 0.6, rng);
        }
        const DecodeRun run = RunDecoder(g, iterations, selectiveStop, channel, w);
        const DecodeRun reference = ReferenceDecode(g, iterations, selectiveStop, channel, w);
        const auto where = [&] {
            return testing::Message() << g << " trial " << trial << " weights " << w.x << ","
                                      << w.y << "," << w.z << " iterations " << iterations
                                      << " stop " << selectiveStop << " seed " << seed;
        };
        ASSERT_EQ(run.passCounter, reference.passCounter) << where();
        ASSERT_EQ(run.channel, reference.channel) << where();
        ASSERT_EQ(run.decisions, reference.decisions) << where();
        ASSERT_EQ(run.a, reference.a) << where();
        ASSERT_EQ(run.b, reference.b) << where();
    }
}

TEST(ProductDecoder, PassCounterBelongsToTheCallingThread) {
    const Geometry g{8, 8, 1, 4, 4, 1};
    std::mt19937 rng(TestSeed(107));
    const std::vector<int32_t> channel = Noiseless(EncodeRandom(g, rng));
    RunDecoder(g, 5, false, channel);
    int32_t otherThreadCounter = 0;
    std::thread other([&] { otherThreadCounter = RunDecoder(g, 1, false, channel).passCounter; });
    other.join();
    EXPECT_EQ(otherThreadCounter, 3);
    EXPECT_EQ(DecoderPassCounter(), 7);
}

}  // namespace
