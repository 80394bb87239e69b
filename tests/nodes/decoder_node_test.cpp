// TPCDECODE call by call: the pacing of both outputs, the offset, what it
// decodes against the plain product decoder, and hostile samples.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The worked pacing example: the parity block, one sample per call at rate 1.
TEST(DecoderNode, PacingOfBothOutputsCallByCall) {
    Node node(NodeKind::kDecoder);
    Node::useSmallBlock(node.params.decoder);
    node.params.decoder.iterations = 2;
    ASSERT_EQ(node.init(), 0);
    // Block 1 decodes to 1 1 0 | 0 over row 1 = row 0; block 2 to all zeros.
    const double block1[] = {1, 1, -1, -1, 1, 1, -1, -1};
    std::vector<double> blockValues, infoValues, infoStamps;
    std::vector<int> infoTimes;
    for (int t = 0; t < 24; ++t) {
        node.runWith(t, t < 8 ? block1[t] : -1.0);
        ASSERT_EQ(node.outputs[0].noSample, 0u) << t;  // "decoded block" emits in every call
        EXPECT_EQ(node.outputs[0].time, t);
        blockValues.push_back(node.outputs[0].value);
        if (node.outputs[1].noSample == 0) {
            infoTimes.push_back(t);
            infoValues.push_back(node.outputs[1].value);
            infoStamps.push_back(node.outputs[1].time);
        }
    }
    // Zeros until the first block is complete at t = 7, then its eight bits.
    blockValues.resize(15);
    EXPECT_EQ(blockValues, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0}));
    // "information": calls 0, 1, 3 (zeros), 7, 8, 11 (first block), 15, 16 ...
    ASSERT_GE(infoTimes.size(), 8u);
    infoTimes.resize(8);
    infoValues.resize(6);
    EXPECT_EQ(infoTimes, (std::vector<int>{0, 1, 3, 7, 8, 11, 15, 16}));
    EXPECT_EQ(infoValues, (std::vector<double>{0, 0, 0, 1, 1, 0}));
    for (size_t n = 0; n < infoStamps.size(); ++n) EXPECT_DOUBLE_EQ(infoStamps[n], n * (8.0 / 3)) << n;
}

TEST(DecoderNode, OffsetDropsEarlySamplesAndHoldsTheOutputs) {
    Node node(NodeKind::kDecoder);
    Node::useSmallBlock(node.params.decoder);
    node.params.decoder.delay = 10;  // bits at rate 1000: 0.01 s
    node.useTiming(1000, 1000);
    ASSERT_EQ(node.init(), 0);
    // Samples before 0.01 s are dropped: the block is the 8 values from 0.01 s.
    for (int k = 0; k < 10; ++k) node.runWith(k * 1e-3, 1.0);
    const double block[] = {1, 1, -1, -1, 1, 1, -1, -1};
    for (int k = 0; k < 8; ++k) node.runWith((10 + k) * 1e-3, block[k]);
    std::vector<double> out = {node.emitted()};
    for (int k = 18; k < 21; ++k) {
        node.run(k * 1e-3);
        out.push_back(node.emitted());
    }
    EXPECT_EQ(out, (std::vector<double>{1, 1, 0, 0}));
}

struct Decoded {
    std::vector<double> block, info;
};

// One block through the node at rate 1: the N values of "decoded block" and
// the K of "information" that follow it.
Decoded DecodeOneBlock(Node& node, const std::vector<double>& samples) {
    const int n = static_cast<int>(samples.size());
    Decoded out;
    for (int t = 0; t < 3 * n; ++t) {
        if (t < n) node.runWith(t, samples[static_cast<size_t>(t)]);
        else node.run(t);
        if (t >= n - 1 && t < 2 * n - 1) out.block.push_back(node.emitted(0));
        if (t >= n - 1 && node.outputs[1].noSample == 0) out.info.push_back(node.emitted(1));
    }
    return out;
}

// The node's outputs are the received block converted (soft values) or
// quantised (amplitudes), then decoded by the plain product decoder; the
// information bits are its sub-grid x < kx, y < ky, z < kz.
TEST(DecoderNode, DecodesLikeThePlainProductDecoder) {
    const uint32_t seed = 20250301u;
    const struct {
        int32_t nx, kx, ny, ky, nz, kz;
    } shapes[] = {{16, 11, 8, 4, 1, 1}, {8, 4, 8, 4, 4, 3}, {8, 4, 16, 11, 2, 1}};
    std::mt19937 rng(seed);
    for (const auto& d : shapes) {
        for (uint32_t bpsk : {0u, 1u}) {
            for (uint32_t deinter : {0u, 1u}) {
                SCOPED_TRACE(testing::Message() << d.nx << "/" << d.kx << " " << d.ny << "/" << d.ky << " "
                                                << d.nz << "/" << d.kz << " bpsk " << bpsk << " deinter "
                                                << deinter << " seed " << seed);
                Node node(NodeKind::kDecoder);
                DecoderParams& p = node.params.decoder;
                p.nx = d.nx, p.kx = d.kx, p.ny = d.ny, p.ky = d.ky, p.nz = d.nz, p.kz = d.kz;
                p.bpsk = bpsk;
                p.deinter = deinter;
                p.selectstp = deinter;
                p.iterations = 6;
                p.NUMX = 9, p.NUMY = 5, p.NUMZ = 3;
                p.resolution = 4;
                p.quantLimit = 1.2;
                ASSERT_EQ(node.init(), 0) << node.errorText;

                const int32_t n = d.nx * d.ny * d.nz, plane = d.nx * d.ny;
                std::normal_distribution<double> noise(0.0, bpsk != 0 ? 0.9 : 12.0);
                std::vector<double> samples(static_cast<size_t>(n));
                for (double& v : samples) v = (rng() % 2 != 0 ? 1 : -1) * (bpsk != 0 ? 1.0 : 10.0) + noise(rng);
                const Decoded decoded = DecodeOneBlock(node, samples);

                std::vector<double> received = samples;
                std::vector<int32_t> channel(samples.size()), decisions(samples.size());
                std::vector<int32_t> a(samples.size()), b(samples.size());
                if (bpsk != 0) {
                    QuantizeBlock(4, 1.2, deinter, received.data(), channel.data(), d.nx, d.ny, d.kz, n);
                } else {
                    ConvertSoftBlock(deinter, received.data(), channel.data(), d.nx, d.ny, d.kz, n);
                }
                DecodeProductBlockPlain(6, deinter, channel.data(), decisions.data(), d.nx, d.kx, d.ny,
                                        d.ky, d.nz, d.kz, n, 9, 5, 3, plane, a.data(), b.data());
                Decoded expected;
                expected.block.assign(decisions.begin(), decisions.end());
                for (int32_t z = 0; z < d.kz; ++z)
                    for (int32_t y = 0; y < d.ky; ++y)
                        for (int32_t x = 0; x < d.kx; ++x)
                            expected.info.push_back(decisions[static_cast<size_t>(plane * z + d.nx * y + x)]);
                EXPECT_EQ(decoded.block, expected.block);
                ASSERT_GE(decoded.info.size(), expected.info.size());
                EXPECT_EQ(std::vector<double>(decoded.info.begin(), decoded.info.begin() + expected.info.size()),
                          expected.info);
            }
        }
    }
}

// Each hostile value decodes exactly like its stand-in, in both input modes.
TEST(DecoderNode, NanCountsAsZeroAndInfinitiesClip) {
    const struct {
        const char* what;
        uint32_t bpsk;
        double spread, hostile, standIn;
    } cases[] = {
        {"amplitude NaN", 1, 2.0, kNan, 0.0},    {"amplitude -NaN", 1, 2.0, -kNan, 0.0},
        {"amplitude +inf", 1, 2.0, kInf, 100.0}, {"amplitude -inf", 1, 2.0, -kInf, -100.0},
        {"soft NaN", 0, 60.0, kNan, 0.0},        {"soft +inf", 0, 60.0, kInf, 1e12},
        {"soft -inf", 0, 60.0, -kInf, -1e12},
    };
    std::mt19937 rng(20250301u);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::uniform_real_distribution<double> value(-c.spread, c.spread);
        std::vector<double> hostile(64), standIn(64);
        for (size_t i = 0; i < hostile.size(); ++i) {
            hostile[i] = standIn[i] = value(rng);
            if (i % 3 == 0) hostile[i] = c.hostile, standIn[i] = c.standIn;
        }
        std::vector<double> results[2];
        for (int k = 0; k < 2; ++k) {
            Node node(NodeKind::kDecoder);  // (8, 4) Hamming codes on X and Y
            node.params.decoder.nx = node.params.decoder.ny = 8;
            node.params.decoder.kx = node.params.decoder.ky = 4;
            node.params.decoder.bpsk = c.bpsk;
            ASSERT_EQ(node.init(), 0);
            results[k] = DecodeOneBlock(node, k == 0 ? hostile : standIn).block;
        }
        EXPECT_EQ(results[0], results[1]);
    }
}

}  // namespace
