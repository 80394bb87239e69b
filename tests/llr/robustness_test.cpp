// LLRcalculator against what a host or an upstream node may hand it beyond
// its parameter checks: unusable timing at init, a file name without its
// terminating zero, sizes and Es/No that cannot make a table, received
// values that are not numbers or are infinite, and init calls on a record
// left by a run that had no final call.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "heap_in_use.h"
#include "host/allocation.h"
#include "llr_node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LlrRobustness, UnusableTimingIsRefusedAfterTheParameterChecks) {
    const char* const stepText = "System time step must be a positive finite number";
    const char* const rateText = "Input sample rate must be a positive finite number";
    const struct {
        const char* what;
        double timeStep, inputRate;
        const char* file;
        int32_t code;
        const char* text;
    } cases[] = {
        {"usable", 1.0 / 2000, 1000, "qpsk.txt", 0, ""},
        {"time step NaN", kNan, 1000, "qpsk.txt", 10, stepText},
        {"time step negative", -1.0, 1000, "qpsk.txt", 10, stepText},
        {"input rate zero", 1.0 / 2000, 0, "qpsk.txt", 10, rateText},
        {"input rate infinite", 1.0 / 2000, kInf, "qpsk.txt", 10, rateText},
        {"input rate NaN", 1.0 / 2000, kNan, "qpsk.txt", 10, rateText},
        // Usable itself, but two values per symbol make an infinite rate.
        {"output rate overflows", 1.0 / 2000, 1e308, "qpsk.txt", 10, rateText},
        {"missing file first", kNan, kNan, "no_such_file.txt", 8, "Error opening constellation file"},
    };
    for (const auto& c : cases) {
        LlrNode node(c.file, 4);
        node.system.timeStep = c.timeStep;
        node.inputs[0].rate = c.inputRate;
        EXPECT_EQ(node.init(), c.code) << c.what;
        EXPECT_STREQ(node.errorText, c.text) << c.what;
    }
}

// The block sits at the very end of a heap allocation of its own size, so
// that a read past `file` is a read past the allocation (caught under the
// address sanitizer, whatever else it does elsewhere).
TEST(LlrRobustness, FileNameWithoutTerminatingZeroIsNeverReadPast) {
    auto block = std::make_unique<LlrParams>();
    WriteLlrDefaults(*block);
    block->numsym = 4;
    std::memset(block->file, 'a', sizeof block->file);
    LlrNode node("qpsk.txt", 4);
    node.instance.params = block.get();
    node.inputs[0].time = 0.5;
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText,
                 "Constellation file name has no terminating zero within its 260 bytes");
    EXPECT_EQ(node.outputs[0].rate, 2000.0);  // the port is set up, as for a missing file
    EXPECT_EQ(node.outputs[0].time, 0.5);

    block->file[259] = '\0';  // the longest name that fits: read, not found
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Error opening constellation file");
}

// Sizes are refused before anything but the state record is allocated.
TEST(LlrRobustness, SizesLimitsAndEsNoThatMakeNoTableAreRefused) {
    const char* const sizeText = "Number of constellation points must be between 2 and 256";
    const char* const limitText = "Quantization limit must be greater than 0.001";
    const char* const peakText =
        "LLR table has no positive peak: check the constellation file and Es/No";
    const struct {
        int32_t points;
        double limit, esno;
        const char* text;
        int64_t allocations;
    } cases[] = {
        {std::numeric_limits<int32_t>::min(), 1.5, 11.5, sizeText, 1},
        {-1, 1.5, 11.5, sizeText, 1},
        {0, 1.5, 11.5, sizeText, 1},
        {1, 1.5, 11.5, sizeText, 1},
        {257, 1.5, 11.5, sizeText, 1},
        {std::numeric_limits<int32_t>::max(), 1.5, 11.5, sizeText, 1},
        {4, 0.0005, 11.5, limitText, 1},
        {4, 1.5, kNan, peakText, 8},
        {4, 1.5, kInf, peakText, 8},
        {4, 1.5, -kInf, peakText, 8},
        {4, 1.5, 0.0, peakText, 8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.points << " points, limit " << c.limit << ", esno " << c.esno);
        LlrNode node("qpsk.txt", c.points);
        node.params.quantLimit = c.limit;
        node.params.esno = c.esno;
        ResetAllocationCount();
        EXPECT_EQ(node.init(), 9);
        EXPECT_STREQ(node.errorText, c.text);
        EXPECT_EQ(AllocationCount(), c.allocations);
    }
}

// A value that is not a number counts as 0 (the centre of the plane, where
// QPSK says little about either bit); infinities land in the edge cells.
TEST(LlrRobustness, NanSamplesCountAsZeroAndInfinitiesReachTheEdge) {
    const double cases[][4] = {  // I, Q, and the values that stand in for them
        {kNan, 0.3, 0.0, 0.3},    {-0.6, -kNan, -0.6, 0.0}, {kNan, kNan, 0.0, 0.0},
        {kInf, 0.3, 1e9, 0.3},    {-kInf, kNan, -1e9, 0.0}, {kInf, -kInf, 1e9, -1e9},
    };
    LlrNode node("qpsk.txt", 4);
    ASSERT_EQ(node.init(), 0);
    for (const auto& c : cases) {
        const std::vector<double> hostile = node.valuesOf(c[0], c[1], 2);
        EXPECT_EQ(hostile, node.valuesOf(c[2], c[3], 2)) << "I " << c[0] << ", Q " << c[1];
    }
    for (double v : node.valuesOf(kNan, kNan, 2)) EXPECT_LE(std::fabs(v), 3.0);
}

TEST(LlrRobustness, RepeatedInitWithoutFinalLeavesNothingBehind) {
    LlrNode node;  // 8PSK: 1.5 MB of table per run
    ASSERT_EQ(node.init(), 0);
    node.finish();
    const size_t before = HeapBytesInUse();
    ASSERT_EQ(node.init(), 0);
    for (int run = 0; run < 6; ++run) {
        node.valuesOf(0.5, -0.5, 3);
        ASSERT_EQ(node.init(), 0);
    }
    node.params.numsym = 0;  // refused: the buffers of the last run stay
    ASSERT_EQ(node.init(), 9);
    node.finish();
    EXPECT_LE(HeapBytesInUse(), before + kHeapNoiseBytes);
}

}  // namespace
