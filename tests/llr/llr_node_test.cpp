// LLRcalculator called directly, the way the host calls it: init in its
// order, the file error, pacing of the emitted values and their stamps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/allocation.h"
#include "node_harness.h"

namespace {

std::string Example(const char* name) {
    return std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + name;
}

struct LlrNode : NodeHarness<LlrParams> {
    LlrNode(const char* file = "8psk.txt", int32_t points = 8) : NodeHarness(LLRcalculator, 2, 1) {
        WriteLlrDefaults(params);
        params.numsym = points;
        std::strcpy(params.file, Example(file).c_str());
        inputs[0].rate = 1000;
        inputs[0].time = 0.0;
        inputs[0].portInfo[0] = 3;
        system.timeStep = 1.0 / 3000;
        system.systemRate = 3000;
    }
    // One symbol on both inputs at time t.
    void symbol(double t, double i, double q) {
        inputs[1].value = q;
        inputs[1].noSample = 0;
        runWith(t, i);
    }
};

TEST(LlrNode, OutputRunsAtBitsTimesTheSymbolRate) {
    LlrNode node;
    ASSERT_EQ(node.init(), 0);
    EXPECT_EQ(node.outputs[0].rate, 3000.0);
    EXPECT_EQ(node.outputs[0].portInfo[0], 3u);
}

TEST(LlrNode, MissingFileIsErrorEightWithThePortAlreadySet) {
    LlrNode node;
    std::strcpy(node.params.file, "/nonexistent/constellation.txt");
    node.inputs[0].time = 0.125;
    EXPECT_EQ(node.init(), 8);
    EXPECT_STREQ(node.errorText, "Error opening constellation file");
    EXPECT_EQ(node.outputs[0].rate, 3000.0);
    EXPECT_EQ(node.outputs[0].time, 0.125);
    EXPECT_EQ(node.outputs[0].portInfo[0], 3u);
    EXPECT_EQ(node.finish(), 0);
    EXPECT_EQ(node.instance.state, nullptr);
}

TEST(LlrNode, NonsenseSizesAreRefusedBeforeAnyTableIsAllocated) {
    for (int32_t points : {-4, 0, 1, 257, 1 << 30}) {
        LlrNode node("qpsk.txt", points);
        EXPECT_EQ(node.init(), 9) << points;
        EXPECT_GT(std::strlen(node.errorText), 10u);
    }
    LlrNode tiny("qpsk.txt", 4);
    tiny.params.quantLimit = 0.0005;
    EXPECT_EQ(tiny.init(), 9);
}

TEST(LlrNode, EveryAllocationFailureIsReportedWithCodeOne) {
    for (int allowed = 0; allowed <= 7; ++allowed) {
        LlrNode node;
        FailAllocationsAfter(allowed);
        const int32_t status = node.init();
        FailAllocationsAfter(-1);
        SCOPED_TRACE(allowed);
        EXPECT_EQ(status, 1);
        EXPECT_STREQ(node.errorText, allowed == 0 ? "Memory (mem_) allocation error"
                                                  : "Memory allocation error");
        EXPECT_EQ(node.finish(), 0);
    }
}

TEST(LlrNode, ValuesLeaveBitZeroFirstOnePerCall) {
    LlrNode node;  // 8PSK: three bits per symbol
    ASSERT_EQ(node.init(), 0);
    const double period = 1.0 / 3000;
    // Before the first symbol the pacing allows an emission: it carries 0.
    node.run(0);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, 0.0);
    EXPECT_EQ(node.outputs[0].time, 0.0);

    // Point 5 of the file, received exactly: bits 1, 0, 1 with full confidence.
    const double angle = 2 * M_PI * 6 / 8;  // label 5 = gray(6)
    std::vector<double> values;
    node.symbol(period, std::cos(angle), std::sin(angle));
    values.push_back(node.outputs[0].value);
    EXPECT_EQ(node.outputs[0].time, period);  // stamped n / output rate
    for (int k = 2; k < 4; ++k) {
        node.run(k * period);
        values.push_back(node.outputs[0].value);
        EXPECT_DOUBLE_EQ(node.outputs[0].time, k * period);
    }
    ASSERT_EQ(values.size(), 3u);
    EXPECT_GT(values[0], 0);
    EXPECT_LT(values[1], 0);
    EXPECT_GT(values[2], 0);
    for (double v : values) EXPECT_EQ(std::fmod(std::fabs(v), 2.0), 1.0) << v;  // odd

    // More emissions than bits: the unused entries carry 0.0, also far past
    // the ten stored values.
    for (int k = 4; k < 20; ++k) {
        node.run(k * period);
        ASSERT_EQ(node.outputs[0].value, 0.0) << k;
    }
}

TEST(LlrNode, NewSymbolDropsWhatWasNotEmitted) {
    LlrNode node;
    ASSERT_EQ(node.init(), 0);
    const double period = 1.0 / 3000;
    node.symbol(0, 1.0, 0.0);                     // label 0
    const double first = node.outputs[0].value;
    node.run(period);                             // bit 1 of label 0
    node.symbol(2 * period, -1.0, 0.0);           // label gray(4) = 6 replaces it
    EXPECT_LT(node.outputs[0].value, 0);          // bit 0 of label 6 is 0
    EXPECT_LT(first, 0);                          // bit 0 of label 0 is 0
    // The next value leaves once the last stamp (2P) is reached; a call
    // before the new stamp (3P) emits nothing.
    node.run(2.5 * period);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_DOUBLE_EQ(node.outputs[0].time, 3 * period);
    node.run(2.75 * period);
    EXPECT_EQ(node.outputs[0].noSample, 1u);
}

TEST(LlrNode, ResolutionFieldChangesNothing) {
    auto run = [](int32_t res) {
        LlrNode node("16qam.txt", 16);
        node.params.res = res;
        EXPECT_EQ(node.init(), 0);
        std::vector<double> out;
        for (int k = 0; k < 40; ++k) {
            if (k % 4 == 0) node.symbol(k / 3000.0, std::sin(k * 0.7), std::cos(k * 1.3));
            else node.run(k / 3000.0);
            out.push_back(node.outputs[0].value);
        }
        return out;
    };
    EXPECT_EQ(run(5), run(12));
}

}  // namespace
