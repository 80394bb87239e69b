// TPCENCODE called directly, the way the host calls it: validation, the
// output port set-up, allocation failures and the run-call rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "host/allocation.h"
#include "node_harness.h"

namespace {

struct Encoder : NodeHarness<EncoderParams> {
    Encoder() : NodeHarness(TPCENCODE, 1, 1) {
        WriteEncoderDefaults(params);
        inputs[0].rate = 3249;
        inputs[0].time = 0.25;
        inputs[0].portInfo[0] = 11;
        inputs[0].portInfo[1] = 22;
        inputs[0].portInfo[2] = 33;
        system.systemRate = 4096;
        system.timeStep = 1.0 / 4096;
    }
};

const char* const kSizeText =
    "Code Dimension greater than 256 or Information dimension greater than 255";
const char* const kOrderText = "Information bit dimension greater than code dimension";
const char* const kSignText = "Code dimension or information dimension negative or zero";
const char* const kLogText =
    "Code dimensions must satisfy log2(n) + 1 = n - k or for parity codes n-k=1";
const char* const kLengthText =
    "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256";

TEST(EncoderNode, ValidationOrderCodesAndMessages) {
    struct Case {
        int32_t nx, kx, ny, ky, nz, kz;
        int32_t code;
        const char* text;
    } cases[] = {
        {64, 57, 64, 57, 1, 1, 0, ""},            // nz = 1: no Z axis at all
        {300, 0, 64, 57, 1, 1, 1, kSizeText},     // size check before sign check
        {64, 57, 64, 57, 1, 256, 1, kSizeText},   // k above 255
        {64, 57, 64, 57, 4, 5, 2, kOrderText},
        {64, 0, 64, 57, 1, 1, 3, kSignText},
        {64, 60, 64, 57, 1, 1, 4, kLogText},
        {100, 93, 64, 57, 1, 1, 5, kLengthText},  // trunc(7.644) = 7 passes the log rule
        {12, 11, 64, 57, 1, 1, 0, ""},            // parity axis
        {1, 1, 64, 57, 1, 1, 4, kLogText},        // no X axis is not allowed
        {64, 57, 64, 58, 1, 1, 4, kLogText},      // Y checked like X
        {64, 57, 64, 57, 16, 10, 4, kLogText},    // Z checked like X
        {64, 57, 64, 57, 48, 42, 5, kLengthText},
        {8, 4, 16, 11, 256, 247, 0, ""},
        {2, 1, 256, 255, 8, 4, 0, ""},
    };
    for (const Case& c : cases) {
        Encoder node;
        node.params.nx = c.nx;
        node.params.kx = c.kx;
        node.params.ny = c.ny;
        node.params.ky = c.ky;
        node.params.nz = c.nz;
        node.params.kz = c.kz;
        node.system.systemRate = 1e9;
        SCOPED_TRACE(testing::Message() << c.nx << "/" << c.kx << " " << c.ny << "/" << c.ky
                                        << " " << c.nz << "/" << c.kz);
        EXPECT_EQ(node.init(), c.code);
        EXPECT_EQ(std::string(node.errorText), c.text);
    }
}

TEST(EncoderNode, OutputPortFollowsTheInput) {
    Encoder node;
    ASSERT_EQ(node.init(), 0);
    const PortRecord& out = node.outputs[0];
    EXPECT_EQ(out.rate, 3249.0 * 4096 / 3249);
    EXPECT_EQ(out.time, 0.25);
    EXPECT_EQ(out.portInfo[0], 11u);
    EXPECT_EQ(out.portInfo[1], 22u);
    EXPECT_EQ(out.portInfo[2], 33u);
}

TEST(EncoderNode, RateCheckHasAMarginOfTenPicoHertz) {
    Encoder node;
    node.inputs[0].rate = 3249;
    node.system.systemRate = 4096 - 0.5e-11;  // exceeded by less than the margin
    EXPECT_EQ(node.init(), 0);

    Encoder slow;
    slow.system.systemRate = 4095.9;
    EXPECT_EQ(slow.init(), 7);
    EXPECT_STREQ(slow.errorText,
                 "n/k * input sample rate > system rate. Increase the systemrate, decrease the "
                 "input sample rate or decrease the code bits to message bits ratio n/k");
    EXPECT_EQ(slow.outputs[0].rate, 4096.0);  // the port keeps what was set
}

TEST(EncoderNode, EveryAllocationFailureIsReported) {
    // State record, then six buffers: the n-th failure gives code 6 with the
    // state's own message for the first one.
    for (int allowed = 0; allowed <= 6; ++allowed) {
        Encoder node;
        FailAllocationsAfter(allowed);
        const int32_t status = node.init();
        FailAllocationsAfter(-1);
        SCOPED_TRACE(allowed);
        EXPECT_EQ(status, 6);
        EXPECT_STREQ(node.errorText, allowed == 0 ? "Memory (mem_) allocation error"
                                                  : "Memory allocation error");
        EXPECT_EQ(node.instance.state != nullptr, allowed > 0);
        EXPECT_EQ(node.finish(), 0);  // frees whatever was allocated
        EXPECT_EQ(node.instance.state, nullptr);
    }
}

TEST(EncoderNode, FinalCallWithoutStateAndInitReuse) {
    Encoder node;
    EXPECT_EQ(node.finish(), 0);
    EXPECT_EQ(node.instance.state, nullptr);

    node.system.isFinalCall = 1;  // both flags: an init call
    ASSERT_EQ(node.init(), 0);
    void* state = node.instance.state;
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(node.init(), 0);
    EXPECT_EQ(node.instance.state, state);  // the record is reused
}

// Small parity code: nx = 4, kx = 3, ny = 2, ky = 1; N = 8, K = 3. Row 1 is
// the parity of each column, i.e. a copy of row 0.
struct SmallEncoder : Encoder {
    SmallEncoder() {
        params.nx = 4;
        params.kx = 3;
        params.ny = 2;
        params.ky = 1;
        params.threshold = 0.0;
        inputs[0].rate = 1;
        inputs[0].time = 0;
        system.timeStep = 1.0 / 64;
        system.systemRate = 64;
    }
};

TEST(EncoderNode, ThresholdStoringAndEncodingOnTheNextSample) {
    SmallEncoder node;
    ASSERT_EQ(node.init(), 0);
    // Samples -1, +1, exactly the threshold: bits 0, 1, 1.
    node.runWith(0, -1.0);
    node.runWith(1, 1.0);
    node.runWith(2, 0.0);
    // Zeros are emitted until the first block is encoded.
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, 0.0);
    // The fourth sample encodes 0 1 1 | 0 and becomes bit 0 of the next block.
    node.runWith(3, 1.0);
    const double expected[] = {0, 1, 1, 0, 0, 1, 1, 0};
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, expected[0]);
    for (int i = 1; i < 8; ++i) {
        node.run(3 + i * 3.0 / 8);
        ASSERT_EQ(node.outputs[0].noSample, 0u) << i;
        EXPECT_EQ(node.outputs[0].value, expected[i]) << i;
    }
}

TEST(EncoderNode, TimeStampsFollowTheOutputGridAndStopAfterN) {
    SmallEncoder node;
    ASSERT_EQ(node.init(), 0);
    const double period = 3.0 / 8;
    // Calls on a fine grid: one emission per output period, stamped n * P.
    // One bit is stored at t = 0, so the zero block is not restarted.
    int emitted = 0;
    for (int k = 0; k < 64 * 8; ++k) {
        if (k == 0) node.runWith(0, 1.0);
        else node.run(k / 64.0);
        if (node.outputs[0].noSample == 0) {
            EXPECT_DOUBLE_EQ(node.outputs[0].time, emitted * period);
            // Sample n leaves once the stamp of sample n - 1 is reached.
            EXPECT_NEAR(k / 64.0, std::max(emitted - 1, 0) * period, 1.0 / 64) << emitted;
            ++emitted;
        }
    }
    // No block is ever complete: the zero block leaves once, then silence.
    EXPECT_EQ(emitted, 8);
}

TEST(EncoderNode, OffsetShiftsTheGridAndDropsEarlySamples) {
    SmallEncoder node;
    node.params.delay = 2.5;  // bits at rate 1: 2.5 s
    ASSERT_EQ(node.init(), 0);
    // phase = frac(2.5 * 8/3) * 3/8 = frac(6.667) * 0.375 = 0.25
    // Nothing is emitted before the phase.
    node.run(0.2);
    EXPECT_EQ(node.outputs[0].noSample, 1u);
    node.run(0.25);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_NEAR(node.outputs[0].time, 0.25, 1e-12);

    // Samples before 2.5 s are dropped; 1 1 1 from 2.5 s on make the block.
    for (double t : {1.0, 2.0}) node.runWith(t, 1.0);
    for (double t : {2.5, 3.0, 4.0}) node.runWith(t, 1.0);
    node.runWith(5.0, -1.0);  // encodes 1 1 1 | 1, the first one to arrive
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, 1.0);
}

TEST(EncoderNode, NegativeOffsetGivesANegativePhase) {
    SmallEncoder node;
    node.params.inBits = 0;
    node.params.delay = -0.1;  // seconds
    ASSERT_EQ(node.init(), 0);
    node.run(0);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_DOUBLE_EQ(node.outputs[0].time, -0.1);
}

}  // namespace
