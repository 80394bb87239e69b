// TPCENCODE call by call on small blocks: what it emits, when, and with
// which stamps; samples that are not numbers.
#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The parity block (N = 8, K = 3) at input rate 1; output period 3/8 s.
struct SmallEncoder : Node {
    SmallEncoder() : Node(NodeKind::kEncoder) {
        Dims(params.encoder, 4, 3, 2, 1);
        params.encoder.threshold = 0.0;
        useTiming(1, 64);
    }
};

TEST(EncoderNode, WorkedExampleEncodesOnTheNextSample) {
    SmallEncoder node;
    ASSERT_EQ(node.init(), 0);
    // Samples -1, +1, exactly the threshold: bits 0, 1, 1; zeros go out
    // until the first block is encoded.
    for (double t : {0.0, 1.0, 2.0}) {
        node.runWith(t, t - 1);
        EXPECT_EQ(node.emitted(), 0.0);
    }
    // The fourth sample encodes 0 1 1 | 0 over the repeated row and becomes
    // bit 0 of the next block.
    node.runWith(3, 1.0);
    std::vector<double> out = {node.emitted()};
    for (int i = 1; i < 8; ++i) {
        node.run(3 + i * 3.0 / 8);
        out.push_back(node.emitted());
    }
    EXPECT_EQ(out, (std::vector<double>{0, 1, 1, 0, 0, 1, 1, 0}));
}

TEST(EncoderNode, OffsetShiftsTheGridAndDropsEarlySamples) {
    SmallEncoder node;
    node.encoder.delay = 2.5;  // bits at rate 1: 2.5 s
    ASSERT_EQ(node.init(), 0);
    // phase = frac(2.5 * 8/3) * 3/8 = 0.25: nothing leaves before it.
    node.run(0.2);
    EXPECT_EQ(node.outputs[0].noSample, 1u);
    node.run(0.25);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_NEAR(node.outputs[0].time, 0.25, 1e-12);
    // Samples before 2.5 s are dropped; 1 1 1 from 2.5 s on make the block.
    for (double t : {1.0, 2.0}) node.runWith(t, -1.0);
    for (double t : {2.5, 3.0, 4.0}) node.runWith(t, 1.0);
    node.runWith(5.0, -1.0);
    EXPECT_EQ(node.emitted(), 1.0);

    SmallEncoder early;
    early.encoder.inBits = 0;
    early.encoder.delay = -0.1;  // seconds: a negative phase
    ASSERT_EQ(early.init(), 0);
    early.run(0);
    EXPECT_DOUBLE_EQ(early.outputs[0].time, -0.1);
}

// nz = 2 with kz = 1 is a two-dimensional block: layer 1 is never encoded
// and goes out as the zeros its buffer started with. With 36 calls to an
// output period P, value n leaves once stamp n - 1 is reached, stamped n P;
// after the last block's N values, silence.
TEST(EncoderNode, ZParityWithOneLayerPacedOnTheOutputGrid) {
    SmallEncoder node;
    node.encoder.nz = 2;
    node.useTiming(1.0 / 3, 64);
    ASSERT_EQ(node.init(), 0);
    const double period = 9.0 / 16, bits[] = {1, 0, 1, 1};
    std::vector<double> out;
    for (int k = 0; k < 64 * 30; ++k) {
        const double t = k / 64.0;
        if (k % 192 == 0 && k / 192 < 4) node.runWith(t, bits[k / 192] - 0.5);
        else node.run(t);
        if (node.outputs[0].noSample != 0) continue;
        const double n = static_cast<double>(out.size());
        EXPECT_DOUBLE_EQ(node.outputs[0].time, n * period);
        EXPECT_GE(t, (n - 1) * period) << n;
        out.push_back(node.outputs[0].value);
    }
    std::vector<double> expected(16, 0.0);  // the zero block before the first
    for (double b : {1, 0, 1, 0, 1, 0, 1, 0}) expected.push_back(b);
    expected.resize(32, 0.0);
    EXPECT_EQ(out, expected);
}

TEST(EncoderNode, SamplesThatAreNotNumbersNeverReachTheThreshold) {
    const struct {
        double sample, threshold, bit;
    } cases[] = {
        {kNan, 0.5, 0.0},   {-kNan, -kInf, 0.0}, {kInf, 0.5, 1.0}, {-kInf, 0.5, 0.0},
        {-kInf, -kInf, 1.0}, {kInf, kInf, 1.0},   {1.0, kNan, 0.0}, {0.5, 0.5, 1.0},
        {0.0, 0.5, 0.0},
    };
    for (const auto& c : cases) {
        // The 2 x 2 block of one bit: every coded bit repeats it; the next
        // sample encodes it and its first coded bit leaves in that call.
        Node node(NodeKind::kEncoder);
        Dims(node.encoder, 2, 1, 2, 1);
        node.encoder.threshold = c.threshold;
        node.useTiming(1, 4);
        ASSERT_EQ(node.init(), 0);
        node.runWith(0.0, c.sample);
        node.runWith(1.0, 0.0);
        EXPECT_EQ(node.emitted(), c.bit) << "sample " << c.sample << " threshold " << c.threshold;
    }
}

}  // namespace
