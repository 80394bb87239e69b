// TPCENCODE against what a host or an upstream node may hand it beyond its
// parameter checks: unusable timing at init, samples that are not
// numbers, the largest blocks, and init calls on a record left by a run
// that had no final call.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "heap_in_use.h"
#include "host/allocation.h"
#include "node_harness.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Encoder : NodeHarness<EncoderParams> {
    Encoder() : NodeHarness(TPCENCODE, 1, 1) {
        WriteEncoderDefaults(params);
        inputs[0].rate = 3249;
        system.systemRate = 4096;
        system.timeStep = 1.0 / 4096;
    }
    // The 2 x 2 block of one information bit: every coded bit repeats it.
    void useOneBitBlock() {
        params.nx = params.ny = 2;
        params.kx = params.ky = 1;
        inputs[0].rate = 1;
        system.systemRate = 4;
        system.timeStep = 0.25;
    }
};

const char* const kTimeStepText = "System time step must be a positive finite number";
const char* const kSystemRateText = "System rate must be a positive finite number";
const char* const kInputRateText = "Input sample rate must be a positive finite number";
const char* const kOffsetText =
    "Offset (delay) must be finite, also when converted from bits to seconds";

TEST(EncoderRobustness, UnusableTimingIsRefusedAfterTheParameterChecks) {
    struct Case {
        const char* what;
        double timeStep, systemRate, inputRate, delay;
        uint32_t inBits;
        int32_t code;
        const char* text;
    } cases[] = {
        // Zero, negative and infinite time steps and input rates go through
        // the check every node shares; NaN shows this node uses it.
        {"usable", 1.0 / 4096, 4096, 3249, 0, 1, 0, ""},
        {"negative offset", 1.0 / 4096, 4096, 3249, -7.5, 1, 0, ""},
        {"time step NaN", kNan, 4096, 3249, 0, 1, 8, kTimeStepText},
        {"system rate NaN", 1.0 / 4096, kNan, 3249, 0, 1, 8, kSystemRateText},
        {"system rate infinite", 1.0 / 4096, kInf, 3249, 0, 1, 8, kSystemRateText},
        {"input rate NaN", 1.0 / 4096, 4096, kNan, 0, 1, 8, kInputRateText},
        {"input period overflows", 1.0 / 4096, 4096, 1e-310, 0, 1, 8, kInputRateText},
        {"offset NaN", 1.0 / 4096, 4096, 3249, kNan, 1, 8, kOffsetText},
        {"offset infinite", 1.0 / 4096, 4096, 3249, -kInf, 0, 8, kOffsetText},
        {"offset overflows in seconds", 1.0 / 4096, 4096, 1e-300, 1e300, 1, 8, kOffsetText},
        // The rate check comes first and keeps its code: an infinite input rate gives
        // an infinite output rate, above any system rate.
        {"input rate infinite", 1.0 / 4096, 4096, kInf, 0, 1, 7, nullptr},
        {"time step NaN and rate too high", kNan, 100, 3249, 0, 1, 7, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Encoder node;
        node.system.timeStep = c.timeStep;
        node.system.systemRate = c.systemRate;
        node.inputs[0].rate = c.inputRate;
        node.params.delay = c.delay;
        node.params.inBits = c.inBits;
        EXPECT_EQ(node.init(), c.code);
        if (c.text != nullptr) {
            EXPECT_EQ(std::string(node.errorText), c.text);
        }
        EXPECT_EQ(node.finish(), 0);
        EXPECT_EQ(node.instance.state, nullptr);
    }
}

// The coded bit that a single input sample turns into.
double CodedBitOf(double sample, double threshold) {
    Encoder node;
    node.useOneBitBlock();
    node.params.threshold = threshold;
    EXPECT_EQ(node.init(), 0);
    // t = 0 stores the bit; the sample at t = 1 encodes it and its first
    // coded bit leaves in that call.
    for (int call = 0; call < 4; ++call) {
        if (call == 0) {
            node.runWith(0.0, sample);
        } else {
            node.run(call * 0.25);
        }
    }
    node.runWith(1.0, 0.0);
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    return node.outputs[0].value;
}

TEST(EncoderRobustness, SamplesThatAreNotNumbersNeverReachTheThreshold) {
    struct Case {
        double sample, threshold, bit;
    } cases[] = {
        {kNan, 0.5, 0.0},   {-kNan, -kInf, 0.0}, {kInf, 0.5, 1.0},  {-kInf, 0.5, 0.0},
        {-kInf, -kInf, 1.0}, {kInf, kInf, 1.0},   {1.0, kNan, 0.0},  {0.5, 0.5, 1.0},
        {0.0, 0.5, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sample " << c.sample << " threshold " << c.threshold);
        EXPECT_EQ(CodedBitOf(c.sample, c.threshold), c.bit);
    }
}

// 256 x 256 x 256 with (256, 247) codes: N = 2^24 and K = 247^3 are the
// largest products the checks let through; they and N / K fit their types.
TEST(EncoderRobustness, LargestBlockInitialisesWithExactRates) {
    Encoder node;
    node.params.nx = node.params.ny = node.params.nz = 256;
    node.params.kx = node.params.ky = node.params.kz = 247;
    node.inputs[0].rate = 247.0 * 247 * 247;
    node.system.systemRate = 256.0 * 256 * 256;
    ResetAllocationCount();
    ASSERT_EQ(node.init(), 0) << node.errorText;
    EXPECT_EQ(AllocationCount(), 7);  // the record and six arrays
    EXPECT_EQ(node.outputs[0].rate, 16777216.0);
}

// An init call on a record whose run had no final call frees what the record
// holds before allocating again; so does the final call after a failed init.
TEST(EncoderRobustness, RepeatedInitWithoutFinalLeavesNothingBehind) {
    Encoder node;
    ASSERT_EQ(node.init(), 0);
    node.finish();
    const size_t before = HeapBytesInUse();
    ASSERT_EQ(node.init(), 0);
    for (int run = 0; run < 20; ++run) {
        for (int i = 0; i < 100; ++i) node.runWith(i / 3249.0, i % 2);
        ASSERT_EQ(node.init(), 0);
    }
    node.params.nx = 300;  // refused: the arrays of the last run stay
    ASSERT_EQ(node.init(), 1);
    node.finish();
    EXPECT_LE(HeapBytesInUse(), before + kHeapNoiseBytes);
}

}  // namespace
