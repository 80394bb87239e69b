// LLRcalculator against what a host or an upstream node may hand it beyond
// the design's own checks: unusable timing at init, a file name without its
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
#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Example(const char* name) {
    return std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + name;
}

struct LlrNode : NodeHarness<LlrParams> {
    explicit LlrNode(const char* file = "qpsk.txt", int32_t points = 4)
        : NodeHarness(LLRcalculator, 2, 1) {
        WriteLlrDefaults(params);
        params.numsym = points;
        std::strcpy(params.file, Example(file).c_str());
        inputs[0].rate = 1000;
        system.timeStep = 1.0 / 2000;
        system.systemRate = 2000;
    }
    // The m values emitted for one symbol, one call per value.
    std::vector<double> valuesOf(double i, double q, int m) {
        std::vector<double> values;
        inputs[1].value = q;
        for (int k = 0; k < m; ++k) {
            const double t = emitted_ * system.timeStep;
            if (k == 0) {
                runWith(t, i);
            } else {
                run(t);
            }
            EXPECT_EQ(outputs[0].noSample, 0u);
            values.push_back(outputs[0].value);
            ++emitted_;
        }
        return values;
    }

private:
    int emitted_ = 0;
};

const char* const kTimeStepText = "System time step must be a positive finite number";
const char* const kInputRateText = "Input sample rate must be a positive finite number";

TEST(LlrRobustness, UnusableTimingIsRefusedAfterTheDesignChecks) {
    struct Case {
        const char* what;
        double timeStep, inputRate;
        const char* file;
        int32_t code;
        const char* text;
    } cases[] = {
        {"usable", 1.0 / 2000, 1000, "qpsk.txt", 0, ""},
        {"time step NaN", kNan, 1000, "qpsk.txt", 10, kTimeStepText},
        {"time step negative", -1.0, 1000, "qpsk.txt", 10, kTimeStepText},
        {"input rate zero", 1.0 / 2000, 0, "qpsk.txt", 10, kInputRateText},
        {"input rate infinite", 1.0 / 2000, kInf, "qpsk.txt", 10, kInputRateText},
        {"input rate NaN", 1.0 / 2000, kNan, "qpsk.txt", 10, kInputRateText},
        // Usable itself, but two values per symbol make an infinite rate.
        {"output rate overflows", 1.0 / 2000, 1e308, "qpsk.txt", 10, kInputRateText},
        {"missing file first", kNan, kNan, "no_such_file.txt", 8,
         "Error opening constellation file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LlrNode node(c.file);
        node.system.timeStep = c.timeStep;
        node.inputs[0].rate = c.inputRate;
        EXPECT_EQ(node.init(), c.code);
        EXPECT_EQ(std::string(node.errorText), c.text);
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
    LlrNode node;
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

TEST(LlrRobustness, SizesAndEsNoThatMakeNoTableAreRefused) {
    const char* const sizeText = "Number of constellation points must be between 2 and 256";
    const char* const peakText =
        "LLR table has no positive peak: check the constellation file and Es/No";
    struct Case {
        int32_t points;
        double esno;
        const char* text;
        int64_t allocations;  // the record alone when the size is refused
    } cases[] = {
        {std::numeric_limits<int32_t>::min(), 11.5, sizeText, 1},
        {-1, 11.5, sizeText, 1},
        {std::numeric_limits<int32_t>::max(), 11.5, sizeText, 1},
        {4, kNan, peakText, 8},
        {4, kInf, peakText, 8},
        {4, -kInf, peakText, 8},
        {4, 0.0, peakText, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.points << " points, esno " << c.esno);
        LlrNode node("qpsk.txt", c.points);
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
    struct Case {
        double i, q, standInI, standInQ;
    } cases[] = {
        {kNan, 0.3, 0.0, 0.3},    {-0.6, -kNan, -0.6, 0.0}, {kNan, kNan, 0.0, 0.0},
        {kInf, 0.3, 1e9, 0.3},    {-kInf, kNan, -1e9, 0.0}, {kInf, -kInf, 1e9, -1e9},
    };
    LlrNode node;
    ASSERT_EQ(node.init(), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "I " << c.i << ", Q " << c.q);
        const std::vector<double> hostile = node.valuesOf(c.i, c.q, 2);
        EXPECT_EQ(hostile, node.valuesOf(c.standInI, c.standInQ, 2));
    }
    for (double v : node.valuesOf(kNan, kNan, 2)) EXPECT_LE(std::fabs(v), 3.0);
}

TEST(LlrRobustness, RepeatedInitWithoutFinalLeavesNothingBehind) {
    LlrNode node("8psk.txt", 8);  // 1.5 MB of table per run
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
