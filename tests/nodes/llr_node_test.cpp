// LLRcalculator call by call: the order and pacing of the emitted values,
// an unterminated file name, and received values that are not numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPeriod = 1.0 / 3000;  // 8PSK: three values per symbol at 1000 symbols/s

TEST(LlrNode, ValuesLeaveBitZeroFirstOnePerCall) {
    Node node(NodeKind::kLlr);
    ASSERT_EQ(node.init(), 0);
    // Before the first symbol the pacing allows an emission: it carries 0.
    node.run(0);
    EXPECT_EQ(node.emitted(), 0.0);
    // Point 5 of the file (gray(6)), received exactly: bits 1, 0, 1 with
    // full confidence, odd values, stamped n / output rate.
    const double angle = std::acos(-1.0) * 6 / 4;
    std::vector<double> values;
    for (int k = 1; k < 4; ++k) {
        if (k == 1) node.runWith(kPeriod, std::cos(angle), std::sin(angle));
        else node.run(k * kPeriod);
        values.push_back(node.emitted());
        EXPECT_DOUBLE_EQ(node.outputs[0].time, k * kPeriod);
        EXPECT_EQ(std::fmod(std::fabs(values.back()), 2.0), 1.0) << values.back();
    }
    EXPECT_TRUE(values[0] > 0 && values[1] < 0 && values[2] > 0)
        << values[0] << " " << values[1] << " " << values[2];
    // More emissions than bits: the unused entries carry 0.0, also far past
    // the ten stored values.
    for (int k = 4; k < 20; ++k) {
        node.run(k * kPeriod);
        ASSERT_EQ(node.emitted(), 0.0) << k;
    }
}

TEST(LlrNode, NewSymbolDropsWhatWasNotEmitted) {
    Node node(NodeKind::kLlr);
    ASSERT_EQ(node.init(), 0);
    node.runWith(0, 1.0, 0.0);  // label 0
    EXPECT_LT(node.emitted(), 0);
    node.run(kPeriod);  // bit 1 of label 0
    node.runWith(2 * kPeriod, std::sqrt(0.5), std::sqrt(0.5));  // label 1 replaces it
    EXPECT_GT(node.emitted(), 0);  // its bit 0, not label 0's bit 2
    // The next value leaves once the last stamp (2P) is reached; a call
    // before the new stamp (3P) emits nothing.
    node.run(2.5 * kPeriod);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_DOUBLE_EQ(node.outputs[0].time, 3 * kPeriod);
    node.run(2.75 * kPeriod);
    EXPECT_EQ(node.outputs[0].noSample, 1u);
}

// The block sits at the very end of a heap allocation of its own size, so
// that a read past `file` is a read past the allocation (caught under the
// address sanitizer, whatever else it does elsewhere).
TEST(LlrNode, FileNameWithoutTerminatingZeroIsNeverReadPast) {
    auto block = std::make_unique<LlrParams>();
    WriteLlrDefaults(*block);
    block->numsym = 4;
    std::memset(block->file, 'a', sizeof block->file);
    Node node(NodeKind::kLlr);
    node.instance.params = block.get();
    node.inputs[0].time = 0.5;
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Constellation file name has no terminating zero within its 260 bytes");
    EXPECT_EQ(node.outputs[0].rate, 2000.0);  // the port is set up, as for a missing file
    EXPECT_EQ(node.outputs[0].time, 0.5);
    block->file[259] = '\0';  // the longest name that fits: read, not found
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Error opening constellation file");
}

// A value that is not a number counts as 0 (the centre of the plane, where
// QPSK says little about either bit); infinities land in the edge cells.
TEST(LlrNode, NanSamplesCountAsZeroAndInfinitiesReachTheEdge) {
    const double cases[][4] = {  // I, Q, and the values that stand in for them
        {kNan, 0.3, 0.0, 0.3}, {-0.6, -kNan, -0.6, 0.0}, {kNan, kNan, 0.0, 0.0},
        {kInf, 0.3, 1e9, 0.3}, {-kInf, kNan, -1e9, 0.0}, {kInf, -kInf, 1e9, -1e9},
    };
    Node node(NodeKind::kLlr);
    node.useConstellation("qpsk.txt", 4);
    node.useTiming(1000, 2000);
    ASSERT_EQ(node.init(), 0);
    int call = 0;
    auto valuesOf = [&](double i, double q) {
        node.runWith(call++ * node.system.timeStep, i, q);
        std::vector<double> values = {node.emitted()};
        node.run(call++ * node.system.timeStep);
        values.push_back(node.emitted());
        return values;
    };
    for (const auto& c : cases) {
        const std::vector<double> hostile = valuesOf(c[0], c[1]);
        EXPECT_EQ(hostile, valuesOf(c[2], c[3])) << "I " << c[0] << ", Q " << c[1];
    }
    for (double v : valuesOf(kNan, kNan)) EXPECT_LE(std::fabs(v), 3.0);
}

}  // namespace
