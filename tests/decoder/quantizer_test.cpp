// BPSK quantiser and soft-value conversion: worked values, level saturation,
// defined results for NaN and huge inputs, and the helical placement.
#include "decoder/quantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <limits>
#include <random>
#include <vector>

#include "code/helical_map.h"

using namespace tpc;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

TEST(Quantizer, BpskValues) {
    const struct { int32_t resolution; double quantLimit, value; int32_t expected; } cases[] = {
        // 5 bits at limit 1.0: levels 16, scale 16, output -16 ... 15.
        {5, 1.0, 0.99, 15}, {5, 1.0, 1.0, 15}, {5, 1.0, 1.5, 15}, {5, 1.0, -1.0, -16}, {5, 1.0, -1.5, -16},
        {5, 1.0, 0.03, 0}, {5, 1.0, -0.03, -1}, {5, 1.0, 0.0, 0}, {5, 1.0, 0.5, 8}, {5, 1.0, -0.5, -8},
        {5, 1.0, kInf, 15}, {5, 1.0, -kInf, -16}, {5, 1.0, kNaN, 0},
        {5, 1.4, 1.0, 11}, {5, 1.4, -1.0, -12},  // the default limit: scale 16 / 1.4
        {1, 1.0, 0.7, 0}, {1, 1.0, 5.0, 0}, {1, 1.0, -0.2, -1}, {1, 1.0, -5.0, -1},  // 1 bit: levels 1
        // Levels 2^(resolution-1), saturating at 2^30 from resolution 31 on.
        {6, 1.0, 9.0, 31}, {6, 1.0, -9.0, -32}, {8, 2.0, 9.0, 127}, {8, 2.0, -9.0, -128},
        {30, 1.0, 0.5, 1 << 28}, {31, 1.0, 0.5, 1 << 29}, {31, 1.0, -0.5, -(1 << 29)},
        {32, 1.0, 0.5, 1 << 29}, {100, 1.0, -0.5, -(1 << 29)}, {kMax, 1.0, -0.5, -(1 << 29)},
        {kMax, kInf, 0.7, 0}, {5, kInf, -0.7, 0},  // an infinite limit passes the node's check: scale 0
        // A limit below the clipping margin pulls beyond the opposite limit;
        // the product then exceeds int32_t and saturates instead of overflowing.
        {31, 1e-9, 5.0, kMax},
    };
    for (const auto& c : cases) {
        double value = c.value;
        int32_t channel = -12345;
        QuantizeBlock(c.resolution, c.quantLimit, 0, &value, &channel, 1, 1, 1, 1);
        EXPECT_EQ(channel, c.expected) << c.resolution << " bits, limit " << c.quantLimit << ", value " << c.value;
    }
}

TEST(Quantizer, ClippedAmplitudesAreWrittenBack) {
    std::vector<double> received = {1.5, 1.0, -1.0, -7.0, 0.25, 0.999999};
    std::vector<int32_t> channel(received.size());
    QuantizeBlock(5, 1.0, 0, received.data(), channel.data(), 6, 1, 1, 6);
    EXPECT_EQ(received, std::vector<double>({1.0 - 1e-6, 1.0 - 1e-6, -1.0 + 1e-6, -1.0 + 1e-6, 0.25, 0.999999}));
}

TEST(Quantizer, ConvertSoftValuesTruncatesTowardZero) {
    const std::vector<double> received = {2.9,  -2.9,  0.99, -0.99, 139.0, -141.0,
                                          1e12, -1e12, kInf, -kInf, kNaN,  2147483647.5};
    std::vector<int32_t> channel(received.size(), -99);
    ConvertSoftBlock(0, received.data(), channel.data(), 12, 1, 1, 12);
    EXPECT_EQ(channel, std::vector<int32_t>({2, -2, 0, 0, 139, -141, kMax, kMin, kMax, kMin, 0, kMax}));
}

// Received value i lands at (i * s) mod N in both input modes: worked positions of values 0 ... 11 in an 8 x 8 block
// (s = 9) and in a 4 x 4 x 4 block with kz = 2 (s = 21), and the same as the placement table.
TEST(Quantizer, HelicalPlacement) {
    const struct { int32_t nx, nz, kz; std::vector<int32_t> positions; } cases[] = {
        {8, 1, 1, {0, 9, 18, 27, 36, 45, 54, 63, 8, 17, 26, 35}},
        {4, 4, 2, {0, 21, 42, 63, 20, 41, 62, 19, 40, 61, 18, 39}},
    };
    for (const auto& c : cases) {
        std::vector<int32_t> table(64, -1);
        FillHelicalPlacement(ProductCode{c.nx, c.nx - 1, c.nx, c.nx - 1, c.nz, c.kz}, true, table.data());
        EXPECT_EQ(std::vector<int32_t>(table.begin(), table.begin() + 12), c.positions) << "nx " << c.nx;
        std::vector<double> received(64), amplitudes(64);
        for (int32_t i = 0; i < 64; ++i) received[i] = i, amplitudes[i] = i < 12 ? 0.5 : -0.5;
        std::vector<int32_t> channel(64, -1), quantized(64, -1);
        ConvertSoftBlock(1, received.data(), channel.data(), c.nx, c.nx, c.kz, 64);
        QuantizeBlock(5, 1.0, 1, amplitudes.data(), quantized.data(), c.nx, c.nx, c.kz, 64);
        for (int32_t i = 0; i < 12; ++i) {
            EXPECT_EQ(channel[c.positions[i]], i) << "nx " << c.nx << " value " << i;
            EXPECT_EQ(quantized[c.positions[i]], 8) << "nx " << c.nx << " value " << i;
        }
    }
}

// The batch loop against QuantizeBlock, on the vectors this CPU runs: values on and around the clipping edges, far
// beyond them, not numbers and infinite; limits from the smallest the truncating form takes to ones below the margin
// (the plain form) and an infinite one (0 * infinity); resolutions past the saturation of the levels. A length that
// leaves a tail after the last whole vector. The floor form of the level on the same values.
TEST(Quantizer, BatchLoopGivesTheNodesChannelValues) {
    std::mt19937 rng(7);
    for (double limit : {1.4, 1e-3, BpskQuantizer::kClipMargin, 2e-7, 1e6, kInf}) {
        for (int32_t resolution : {1, 5, 8, 31, 40}) {
            const double finite = std::isfinite(limit) ? limit : 1e9;
            const double edges[] = {finite, -finite, std::nextafter(finite, 0.0), -std::nextafter(finite, 0.0),
                                    finite - 1e-6, 1e300, -1e300, kNaN, -kNaN, kInf, -kInf, 0.0, -0.0};
            std::uniform_real_distribution<double> value(-1.5 * finite, 1.5 * finite);
            std::vector<double> amplitudes(1027);
            for (size_t i = 0; i < amplitudes.size(); ++i) {
                amplitudes[i] = i % 3 == 0 ? edges[(i / 3) % std::size(edges)] : value(rng);
            }
            const int32_t count = static_cast<int32_t>(amplitudes.size());
            std::vector<double> clipped = amplitudes;
            std::vector<int32_t> node(count), batch(count, -12345);
            QuantizeBlock(resolution, limit, 0, clipped.data(), node.data(), 1, 1, 1, count);
            const std::vector<double> given = amplitudes;
            QuantizeAmplitudes(resolution, limit, amplitudes.data(), batch.data(), count);
            EXPECT_EQ(batch, node) << "limit " << limit << " resolution " << resolution;
            // The floor form the link's fused quantiser takes, where the truncating one applies.
            const BpskQuantizer quantizer(resolution, limit);
            if (quantizer.LevelsFitTruncation()) {
                std::vector<int32_t> byFloor(count);
                for (int32_t i = 0; i < count; ++i) byFloor[i] = quantizer.LevelByFloor(quantizer.Clip(given[i]));
                EXPECT_EQ(byFloor, node) << "by floor: limit " << limit << " resolution " << resolution;
            }
            EXPECT_EQ(std::memcmp(amplitudes.data(), given.data(), count * sizeof(double)), 0) << "amplitudes written";
        }
    }
}

}  // namespace
