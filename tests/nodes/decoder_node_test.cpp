// TPCDECODE call by call: the pacing of both outputs, the offset, what it
// decodes against the plain product decoder, and hostile samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"
#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The worked pacing example: the parity block, one sample per call at rate 1.
TEST(DecoderNode, PacingOfBothOutputsCallByCall) {
    Node node(NodeKind::kDecoder);
    Dims(node.decoder, 4, 3, 2, 1);
    node.decoder.iterations = 2;
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
    Dims(node.decoder, 4, 3, 2, 1);
    node.decoder.delay = 10;  // bits at rate 1000: 0.01 s
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
// quantised (amplitudes), then decoded by the plain product decoder, in as
// many passes; the information bits are its sub-grid x < kx, y < ky, z < kz.
TEST(DecoderNode, DecodesLikeThePlainProductDecoder) {
    const struct {
        int32_t nx, kx, ny, ky, nz, kz;
    } shapes[] = {{16, 11, 8, 4, 1, 1}, {8, 4, 8, 4, 4, 3}, {8, 4, 16, 11, 2, 1}};
    std::mt19937 rng(20250301u);
    for (int c = 0; c < 12; ++c) {
        const auto& d = shapes[c / 4];
        const uint32_t bpsk = c / 2 % 2, deinter = c % 2, selectstp = bpsk == deinter;
        SCOPED_TRACE(testing::Message() << d.nx << "/" << d.kx << " " << d.ny << "/" << d.ky << " " << d.nz
                                        << "/" << d.kz << " bpsk " << bpsk << " deinter " << deinter);
        Node node(NodeKind::kDecoder);
        DecoderParams& p = node.decoder;
        Dims(p, d.nx, d.kx, d.ny, d.ky, d.nz, d.kz);
        p.bpsk = bpsk, p.deinter = deinter, p.selectstp = selectstp;
        p.iterations = 6, p.NUMX = 9, p.NUMY = 5, p.NUMZ = 3, p.resolution = 4, p.quantLimit = 1.2;
        ASSERT_EQ(node.init(), 0) << node.errorText;

        // A code block in emission order, with noise enough for some passes
        // to correct and for the early stop to matter.
        const int32_t n = d.nx * d.ny * d.nz, plane = d.nx * d.ny;
        const size_t size = static_cast<size_t>(n);
        std::vector<double> info(static_cast<size_t>(d.kx * d.ky * d.kz));
        for (double& bit : info) bit = rng() % 2;
        std::vector<int32_t> bits(size), grid(size), code(size), word(256), parity(16);
        EncodeProductBlock(deinter, info.data(), bits.data(), grid.data(), code.data(), word.data(),
                           parity.data(), d.nx, d.ny, d.nz, d.kx, d.ky, d.kz, n);
        const double amplitude = bpsk != 0 ? 1.0 : 10.0;
        std::normal_distribution<double> noise(0.0, 0.7 * amplitude);
        std::vector<double> samples(size);
        for (size_t i = 0; i < size; ++i) samples[i] = (2 * bits[i] - 1) * amplitude + noise(rng);
        const Decoded decoded = DecodeOneBlock(node, samples);
        const int32_t passes = DecoderPassCounter();

        std::vector<int32_t> channel(size), decisions(size), a(size), b(size);
        if (bpsk != 0) QuantizeBlock(4, 1.2, deinter, samples.data(), channel.data(), d.nx, d.ny, d.kz, n);
        else ConvertSoftBlock(deinter, samples.data(), channel.data(), d.nx, d.ny, d.kz, n);
        DecodeProductBlockPlain(6, selectstp, channel.data(), decisions.data(), d.nx, d.kx, d.ny, d.ky, d.nz,
                                d.kz, n, 9, 5, 3, plane, a.data(), b.data());
        EXPECT_EQ(DecoderPassCounter(), passes);
        EXPECT_EQ(decoded.block, std::vector<double>(decisions.begin(), decisions.end()));
        std::vector<double> expectedInfo;
        for (int32_t z = 0; z < d.kz; ++z)
            for (int32_t y = 0; y < d.ky; ++y)
                for (int32_t x = 0; x < d.kx; ++x)
                    expectedInfo.push_back(decisions[static_cast<size_t>(plane * z + d.nx * y + x)]);
        ASSERT_GE(decoded.info.size(), expectedInfo.size());
        EXPECT_TRUE(std::equal(expectedInfo.begin(), expectedInfo.end(), decoded.info.begin()));
    }
}

// Each hostile value decodes exactly like its stand-in, in both input modes.
TEST(DecoderNode, NanCountsAsZeroAndInfinitiesClip) {
    const struct {
        uint32_t bpsk;
        double spread, hostile, standIn;
    } cases[] = {{1, 2.0, kNan, 0.0},  {1, 2.0, -kNan, 0.0},  {1, 2.0, kInf, 100.0}, {1, 2.0, -kInf, -100.0},
                 {0, 60.0, kNan, 0.0}, {0, 60.0, kInf, 1e12}, {0, 60.0, -kInf, -1e12}};
    std::mt19937 rng(20250301u);
    for (const auto& c : cases) {
        std::uniform_real_distribution<double> value(-c.spread, c.spread);
        std::vector<double> blocks[2] = {std::vector<double>(64), {}};
        for (size_t i = 0; i < 64; ++i) blocks[0][i] = i % 3 == 0 ? c.hostile : value(rng);
        blocks[1] = blocks[0];
        for (size_t i = 0; i < 64; i += 3) blocks[1][i] = c.standIn;
        std::vector<double> decoded[2];
        for (int k = 0; k < 2; ++k) {
            Node node(NodeKind::kDecoder);  // (8, 4) Hamming codes on X and Y
            Dims(node.decoder, 8, 4, 8, 4);
            node.decoder.bpsk = c.bpsk;
            ASSERT_EQ(node.init(), 0);
            decoded[k] = DecodeOneBlock(node, blocks[k]).block;
        }
        EXPECT_EQ(decoded[0], decoded[1]) << "bpsk " << c.bpsk << ", " << c.hostile;
    }
}

}  // namespace
