// LLRcalculator called directly, the way the host calls it: the file error,
// allocation failures, pacing of the emitted values and their stamps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "host/allocation.h"
#include "llr_node_harness.h"

namespace {

constexpr double kPeriod = 1.0 / 3000;  // 8PSK: three values per symbol at 1000 symbols/s

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

TEST(LlrNode, EveryAllocationFailureIsReportedWithCodeOne) {
    for (int allowed = 0; allowed <= 7; ++allowed) {
        LlrNode node;
        FailAllocationsAfter(allowed);
        const int32_t status = node.init();
        FailAllocationsAfter(-1);
        EXPECT_EQ(status, 1) << allowed;
        EXPECT_STREQ(node.errorText, allowed == 0 ? "Memory (mem_) allocation error"
                                                  : "Memory allocation error") << allowed;
        EXPECT_EQ(node.finish(), 0);
    }
}

TEST(LlrNode, ValuesLeaveBitZeroFirstOnePerCall) {
    LlrNode node;
    ASSERT_EQ(node.init(), 0);
    // Before the first symbol the pacing allows an emission: it carries 0.
    node.run(0);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, 0.0);

    // Point 5 of the file (gray(6)), received exactly: bits 1, 0, 1 with
    // full confidence, odd values, stamped n / output rate.
    const double angle = 2 * M_PI * 6 / 8;
    std::vector<double> values;
    for (int k = 1; k < 4; ++k) {
        if (k == 1) {
            node.symbol(kPeriod, std::cos(angle), std::sin(angle));
        } else {
            node.run(k * kPeriod);
        }
        values.push_back(node.outputs[0].value);
        EXPECT_DOUBLE_EQ(node.outputs[0].time, k * kPeriod);
        EXPECT_EQ(std::fmod(std::fabs(values.back()), 2.0), 1.0) << values.back();
    }
    EXPECT_TRUE(values[0] > 0 && values[1] < 0 && values[2] > 0)
        << values[0] << " " << values[1] << " " << values[2];

    // More emissions than bits: the unused entries carry 0.0, also far past
    // the ten stored values.
    for (int k = 4; k < 20; ++k) {
        node.run(k * kPeriod);
        ASSERT_EQ(node.outputs[0].value, 0.0) << k;
    }
}

TEST(LlrNode, NewSymbolDropsWhatWasNotEmitted) {
    LlrNode node;
    ASSERT_EQ(node.init(), 0);
    node.symbol(0, 1.0, 0.0);  // label 0
    EXPECT_LT(node.outputs[0].value, 0);
    node.run(kPeriod);  // bit 1 of label 0
    node.symbol(2 * kPeriod, M_SQRT1_2, M_SQRT1_2);  // label 1 replaces it
    EXPECT_GT(node.outputs[0].value, 0);  // its bit 0, not label 0's bit 2
    // The next value leaves once the last stamp (2P) is reached; a call
    // before the new stamp (3P) emits nothing.
    node.run(2.5 * kPeriod);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_DOUBLE_EQ(node.outputs[0].time, 3 * kPeriod);
    node.run(2.75 * kPeriod);
    EXPECT_EQ(node.outputs[0].noSample, 1u);
}

}  // namespace
