// The three nodes call by call: what they emit, when and with which stamps; the offset; what the decoder
// decodes against the plain product decoder; an unterminated file name; samples that are not numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <random>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"
#include "node_harness.h"

using namespace tpc;

namespace {

// The parity block (N = 8, K = 3) at input rate 1; output period 3/8 s.
struct SmallEncoder : Node {
    SmallEncoder() : Node(NodeKind::kEncoder) { Dims(encoder, 4, 3, 2, 1), encoder.threshold = 0.0, useTiming(1, 64); }
};

// Samples -1, +1, exactly the threshold: bits 0, 1, 1; zeros go out until the fourth sample encodes
// 0 1 1 | 0 over the repeated row (and becomes bit 0 of the next block).
TEST(EncoderNode, WorkedExampleEncodesOnTheNextSample) {
    SmallEncoder node;
    ASSERT_EQ(node.init(), 0);
    std::vector<double> out;
    for (double t : {0.0, 1.0, 2.0, 3.0}) node.run(t, t - 1), out.push_back(node.emitted());
    for (int i = 1; i < 8; ++i) node.run(3 + i * 3.0 / 8), out.push_back(node.emitted());
    EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0}));
}

TEST(EncoderNode, OffsetShiftsTheGridAndDropsEarlySamples) {
    SmallEncoder node;
    node.encoder.delay = 2.5;  // bits at rate 1: 2.5 s
    ASSERT_EQ(node.init(), 0);
    // phase = frac(2.5 * 8/3) * 3/8 = 0.25: nothing leaves before it.
    node.run(0.2);
    EXPECT_EQ(node.emitted(), Node::kSilent);
    node.run(0.25);
    EXPECT_NEAR(node.outputs[0].time, 0.25, 1e-12);
    // Samples before 2.5 s are dropped; 0 1 1 from 2.5 s on make the block, encoded by the sample at 5 s.
    for (double t : {1.0, 2.0, 2.5, 3.0, 4.0}) node.run(t, t == 2.5 ? -1.0 : 1.0);
    std::vector<double> out;
    for (double t : {5.0, 5.375, 5.75, 6.125})
        node.run(t, t == 5 ? 1.0 : std::optional<double>()), out.push_back(node.emitted());
    EXPECT_EQ(out, (std::vector<double>{0, 1, 1, 0}));

    SmallEncoder early;
    early.encoder.inBits = 0;
    early.encoder.delay = -0.1;  // seconds: a negative phase
    ASSERT_EQ(early.init(), 0);
    early.run(0);
    EXPECT_DOUBLE_EQ(early.outputs[0].time, -0.1);
}

// nz = 2 with kz = 1 is a two-dimensional block: layer 1 is never encoded and goes out as the zeros its
// buffer started with. With 36 calls to an output period P, value n leaves once stamp n - 1 is reached,
// stamped n P; after the last block's N values, silence.
TEST(EncoderNode, ZParityWithOneLayerPacedOnTheOutputGrid) {
    SmallEncoder node;
    node.encoder.nz = 2;
    node.useTiming(1.0 / 3, 64);
    ASSERT_EQ(node.init(), 0);
    const double period = 9.0 / 16, bits[] = {1, 0, 1, 1};
    std::vector<double> out;
    for (int k = 0; k < 64 * 30; ++k) {
        const double t = k / 64.0, n = static_cast<double>(out.size());
        if (k % 192 == 0 && k / 192 < 4) node.run(t, bits[k / 192] - 0.5);
        else node.run(t);
        if (node.outputs[0].noSample != 0) continue;
        EXPECT_DOUBLE_EQ(node.outputs[0].time, n * period);
        EXPECT_GE(t, (n - 1) * period) << n;
        out.push_back(node.outputs[0].value);
    }
    // The zero block before the first, then the first block.
    EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                        1, 0, 1, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

// The 2 x 2 block of one bit: every coded bit repeats it; the next sample encodes it and its first coded bit
// leaves in that call.
TEST(EncoderNode, SamplesThatAreNotNumbersNeverReachTheThreshold) {
    const struct { double sample, threshold, bit; } cases[] = {
        {kNan, 0.5, 0.0}, {-kNan, -kInf, 0.0}, {kInf, 0.5, 1.0}, {-kInf, 0.5, 0.0}, {-kInf, -kInf, 1.0},
        {kInf, kInf, 1.0}, {1.0, kNan, 0.0}, {0.5, 0.5, 1.0}, {0.0, 0.5, 0.0}};
    for (const auto& c : cases) {
        Node node(NodeKind::kEncoder);
        Dims(node.encoder, 2, 1, 2, 1);
        node.encoder.threshold = c.threshold;
        node.useTiming(1, 4);
        ASSERT_EQ(node.init(), 0);
        node.run(0.0, c.sample);
        node.run(1.0, 0.0);
        EXPECT_EQ(node.emitted(), c.bit) << "sample " << c.sample << " threshold " << c.threshold;
    }
}

const std::vector<double> kParityBlock = {1, 1, -1, -1, 1, 1, -1, -1};  // decodes to 1 1 0 | 0 twice

// The worked pacing example: the parity block, one sample per call at rate 1.
TEST(DecoderNode, PacingOfBothOutputsCallByCall) {
    Node node(NodeKind::kDecoder);
    Dims(node.decoder, 4, 3, 2, 1);
    node.decoder.iterations = 2;
    ASSERT_EQ(node.init(), 0);
    std::vector<double> blockValues, infoValues, infoStamps, infoTimes;
    for (int t = 0; t < 24; ++t) {
        node.run(t, t < 8 ? kParityBlock[t] : -1.0);  // then a block of zeros
        ASSERT_TRUE(node.outputs[0].noSample == 0 && node.outputs[0].time == t) << t;  // emits in every call
        blockValues.push_back(node.outputs[0].value);
        if (node.outputs[1].noSample != 0) continue;
        infoTimes.push_back(t), infoValues.push_back(node.outputs[1].value), infoStamps.push_back(node.outputs[1].time);
    }
    // Zeros until the first block is complete at t = 7, then its eight bits; "information" in calls 0, 1, 3
    // (zeros), 7, 8, 11 (first block), 15, 16 ...
    blockValues.resize(15), infoTimes.resize(8), infoValues.resize(6);
    EXPECT_EQ(blockValues, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0}));
    EXPECT_EQ(infoTimes, (std::vector<double>{0, 1, 3, 7, 8, 11, 15, 16}));
    EXPECT_EQ(infoValues, (std::vector<double>{0, 0, 0, 1, 1, 0}));
    for (size_t n = 0; n < infoStamps.size(); ++n) EXPECT_DOUBLE_EQ(infoStamps[n], n * (8.0 / 3)) << n;
}

// Samples before the offset (10 bits at rate 1000) are dropped: the block is the 8 values from 0.01 s on.
// Until then the output steps through its zeros and falls silent at N; from the offset on it restarts at bit 0.
TEST(DecoderNode, OffsetDropsEarlySamples) {
    Node node(NodeKind::kDecoder);
    Dims(node.decoder, 4, 3, 2, 1);
    node.decoder.delay = 10;
    node.useTiming(1000, 1000);
    ASSERT_EQ(node.init(), 0);
    std::vector<double> out;
    for (int k = 0; k < 22; ++k) {
        node.run(k * 1e-3, k < 10 ? 1.0 : k < 18 ? kParityBlock[k - 10] : -1.0);
        out.push_back(node.emitted());
    }
    const double x = Node::kSilent;
    EXPECT_EQ(out, (std::vector<double>{0, 0, 0, 0, 0, 0, 0, 0, x, x, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1}));
}

struct Decoded { std::vector<double> block, info; };
// One block through the node at rate 1: the N values of "decoded block" and the K of "information" after it.
Decoded DecodeOneBlock(Node& node, const std::vector<double>& samples) {
    const int n = static_cast<int>(samples.size());
    Decoded out;
    for (int t = 0; t < 3 * n; ++t) {
        node.run(t, t < n ? std::optional<double>(samples[static_cast<size_t>(t)]) : std::nullopt);
        if (t >= n - 1 && t < 2 * n - 1) out.block.push_back(node.emitted(0));
        if (t >= n - 1 && node.outputs[1].noSample == 0) out.info.push_back(node.emitted(1));
    }
    return out;
}

// The node's outputs are the received block converted (soft values) or quantised (amplitudes), then decoded
// by the plain product decoder, in as many passes; the information bits are its sub-grid x < kx, y < ky, z < kz.
TEST(DecoderNode, DecodesLikeThePlainProductDecoder) {
    const ProductCode shapes[] = {{16, 11, 8, 4, 1, 1}, {8, 4, 8, 4, 4, 3}, {8, 4, 16, 11, 2, 1}};
    std::mt19937 rng(20250301u);
    for (int c = 0; c < 12; ++c) {
        const auto& d = shapes[c / 4];
        const uint32_t bpsk = c / 2 % 2, deinter = c % 2, selectstp = bpsk == deinter;
        SCOPED_TRACE(testing::Message() << "shape " << c / 4 << " bpsk " << bpsk << " deinter " << deinter);
        Node node(NodeKind::kDecoder);
        DecoderParams& p = node.decoder;
        Dims(p, d.nx, d.kx, d.ny, d.ky, d.nz, d.kz);
        p.bpsk = bpsk, p.deinter = deinter, p.selectstp = selectstp;
        p.iterations = 6, p.NUMX = 9, p.NUMY = 5, p.NUMZ = 3, p.resolution = 4, p.quantLimit = 1.2;
        ASSERT_EQ(node.init(), 0) << node.errorText;

        // A code block in emission order, with noise enough for some passes to correct and the early stop to matter.
        const int32_t n = d.N(), plane = d.PlaneSize();
        const size_t size = static_cast<size_t>(n);
        std::vector<double> info(static_cast<size_t>(d.K())), samples(size);
        for (double& bit : info) bit = rng() % 2;
        std::vector<int32_t> bits(size);
        ProductEncoder(d, deinter != 0).Encode(info.data(), bits.data());
        const double amplitude = bpsk != 0 ? 1.0 : 10.0;
        std::normal_distribution<double> noise(0.0, 0.7 * amplitude);
        for (size_t i = 0; i < size; ++i) samples[i] = (2 * bits[i] - 1) * amplitude + noise(rng);
        const Decoded decoded = DecodeOneBlock(node, samples);
        const int32_t passes = DecoderPassCounter();

        std::vector<int32_t> channel(size), decisions(size);
        if (bpsk != 0) QuantizeBlock(4, 1.2, deinter, samples.data(), channel.data(), d.nx, d.ny, d.kz, n);
        else ConvertSoftBlock(deinter, samples.data(), channel.data(), d.nx, d.ny, d.kz, n);
        ProductDecoder plain(d, DecoderSettings{6, {9, 5, 3}, selectstp != 0, ProductDecoderPath::kPlain});
        EXPECT_EQ(1 + plain.Decode(channel.data(), decisions.data()), passes);
        EXPECT_EQ(decoded.block, std::vector<double>(decisions.begin(), decisions.end()));
        ASSERT_GE(decoded.info.size(), info.size());
        for (int32_t i = 0; i < d.kx * d.ky * d.kz; ++i) {  // bit (x, y, z) in the order x, then y, then z
            const int32_t x = i % d.kx, y = i / d.kx % d.ky, z = i / (d.kx * d.ky);
            EXPECT_EQ(decoded.info[i], decisions[plane * z + d.nx * y + x]) << i;
        }
    }
}

// Each hostile value decodes exactly like its stand-in, in both input modes.
TEST(DecoderNode, NanCountsAsZeroAndInfinitiesClip) {
    const struct { uint32_t bpsk; double spread, hostile, standIn; } cases[] = {
        {1, 2.0, kNan, 0.0}, {1, 2.0, -kNan, 0.0}, {1, 2.0, kInf, 100.0}, {1, 2.0, -kInf, -100.0},
                 {0, 60.0, kNan, 0.0}, {0, 60.0, kInf, 1e12}, {0, 60.0, -kInf, -1e12}};
    std::mt19937 rng(20250301u);
    for (const auto& c : cases) {
        std::uniform_real_distribution<double> value(-c.spread, c.spread);
        std::vector<double> hostile(64), standIn(64), decoded[2];
        for (size_t i = 0; i < 64; ++i) hostile[i] = standIn[i] = value(rng);
        for (size_t i = 0; i < 64; i += 3) hostile[i] = c.hostile, standIn[i] = c.standIn;
        for (int k = 0; k < 2; ++k) {
            Node node(NodeKind::kDecoder);  // (8, 4) Hamming codes on X and Y
            Dims(node.decoder, 8, 4, 8, 4);
            node.decoder.bpsk = c.bpsk;
            ASSERT_EQ(node.init(), 0);
            decoded[k] = DecodeOneBlock(node, k == 0 ? hostile : standIn).block;
        }
        EXPECT_EQ(decoded[0], decoded[1]) << "bpsk " << c.bpsk << ", " << c.hostile;
    }
}

constexpr double kPeriod = 1.0 / 3000;  // 8PSK: three values per symbol at 1000 symbols/s

TEST(LlrNode, ValuesLeaveBitZeroFirstOnePerCallAndANewSymbolDropsTheRest) {
    Node node(NodeKind::kLlr);
    ASSERT_EQ(node.init(), 0);
    // Before the first symbol the pacing allows an emission: it carries 0.
    node.run(0);
    EXPECT_EQ(node.emitted(), 0.0);
    // Point 5 of the file (gray(6)), received exactly: bits 1, 0, 1 with full confidence, odd values, stamped
    // n / output rate; then 0.0 for every emission past the symbol's bits, also far past the ten stored values.
    const double angle = std::acos(-1.0) * 6 / 4;
    node.run(kPeriod, std::cos(angle), std::sin(angle));
    for (int k = 1; k < 20; ++k) {
        if (k > 1) node.run(k * kPeriod);
        const double value = node.emitted();
        EXPECT_DOUBLE_EQ(node.outputs[0].time, k * kPeriod);
        if (k > 3) EXPECT_EQ(value, 0.0) << k;
        else EXPECT_TRUE(std::fmod(std::fabs(value), 2.0) == 1.0 && (value > 0) == (k != 2)) << k << ": " << value;
    }
    node.run(20 * kPeriod, 1.0, 0.0);  // label 0
    EXPECT_LT(node.emitted(), 0);
    node.run(21 * kPeriod);  // its bit 1; label 1 replaces it before bit 2
    node.run(22 * kPeriod, std::sqrt(0.5), std::sqrt(0.5));
    EXPECT_GT(node.emitted(), 0);  // label 1's bit 0, not label 0's bit 2
    // The next value leaves once the last stamp (22P) is reached; a call before the new stamp (23P) emits nothing.
    node.run(22.5 * kPeriod);
    EXPECT_TRUE(node.outputs[0].noSample == 0 && node.outputs[0].time == 23 * kPeriod);
    node.run(22.75 * kPeriod);
    EXPECT_EQ(node.emitted(), Node::kSilent);
}

// The block sits at the very end of a heap allocation of its own size, so that a read past `file` is a read
// past the allocation (caught under the address sanitizer, whatever else it does elsewhere).
TEST(LlrNode, FileNameWithoutTerminatingZeroIsNeverReadPast) {
    auto block = std::make_unique<LlrParams>();
    WriteLlrDefaults(*block);
    block->numsym = 4;
    std::memset(block->file, 'a', sizeof block->file);
    Node node(NodeKind::kLlr);
    node.instance.params = block.get();
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Constellation file name has no terminating zero within its 260 bytes");
    EXPECT_EQ(node.outputs[0].rate, 2000.0);  // the port is set up, as for a missing file
    block->file[259] = '\0';  // the longest name that fits: read, not found
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Error opening constellation file");
}

// A value that is not a number counts as 0 (the centre of the plane, where QPSK says little about either
// bit); infinities land in the edge cells.
TEST(LlrNode, NanSamplesCountAsZeroAndInfinitiesReachTheEdge) {
    const double cases[][4] = {  // I, Q, and the values that stand in for them
        {kNan, 0.3, 0.0, 0.3}, {-0.6, -kNan, -0.6, 0.0}, {kNan, kNan, 0.0, 0.0},
        {kInf, 0.3, 1e9, 0.3}, {-kInf, kNan, -1e9, 0.0}, {kInf, -kInf, 1e9, -1e9}};
    Node node(NodeKind::kLlr);
    node.useConstellation("qpsk.txt", 4);
    node.useTiming(1000, 2000);
    ASSERT_EQ(node.init(), 0);
    int call = 0;
    auto valuesOf = [&](double i, double q) {
        node.run(call++ * node.system.timeStep, i, q);
        std::vector<double> values = {node.emitted()};
        node.run(call++ * node.system.timeStep);
        values.push_back(node.emitted());
        return values;
    };
    for (const auto& c : cases) EXPECT_EQ(valuesOf(c[0], c[1]), valuesOf(c[2], c[3])) << c[0] << ", " << c[1];
}

}  // namespace
