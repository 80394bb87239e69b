// TPCDECODE against what a host or an upstream node may hand it beyond its
// parameter checks: unusable timing at init, amplitudes and soft values
// that are not numbers or are infinite, and init calls on a record left by a
// run that had no final call. (Resolutions whose level count does not fit 32
// bits are covered with the quantiser.)
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "heap_in_use.h"
#include "node_harness.h"
#include "trial_count.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

struct Decoder : NodeHarness<DecoderParams> {
    Decoder() : NodeHarness(TPCDECODE, 1, 2) {
        WriteDecoderDefaults(params);
        inputs[0].rate = 1;
    }
    // (8, 4) extended Hamming codes on X and Y: N = 64, K = 16.
    void useSmallHammingBlock() {
        params.nx = params.ny = 8;
        params.kx = params.ky = 4;
    }
};

const char* const kTimeStepText = "System time step must be a positive finite number";
const char* const kInputRateText = "Input sample rate must be a positive finite number";
const char* const kOffsetText =
    "Offset (delay) must be finite, also when converted from bits to seconds";

TEST(DecoderRobustness, UnusableTimingIsRefusedAfterTheParameterChecks) {
    struct Case {
        const char* what;
        double timeStep, inputRate, delay;
        uint32_t inBits;
        int32_t resolution;
        int32_t code;
        const char* text;
    } cases[] = {
        {"usable", 1, 1, 0, 1, 5, 0, ""},
        {"time step NaN", kNan, 1, 0, 1, 5, 9, kTimeStepText},
        {"time step zero", 0, 1, 0, 1, 5, 9, kTimeStepText},
        {"time step infinite", kInf, 1, 0, 1, 5, 9, kTimeStepText},
        {"input rate NaN", 1, kNan, 0, 1, 5, 9, kInputRateText},
        {"input rate infinite", 1, kInf, 0, 1, 5, 9, kInputRateText},
        {"input rate negative", 1, -1, 0, 1, 5, 9, kInputRateText},
        // 6e-309 has a finite period; 3249/4096 of it does not.
        {"information period overflows", 1, 6e-309, 0, 1, 5, 9, kInputRateText},
        {"offset NaN", 1, 1, kNan, 0, 5, 9, kOffsetText},
        {"offset overflows in seconds", 1, 1e-300, 1e300, 1, 5, 9, kOffsetText},
        {"offset infinite in bits", 1, 1, kInf, 1, 5, 9, kOffsetText},
        // A parameter check fails first and keeps its code.
        {"resolution 0 and NaN rate", 1, kNan, 0, 1, 0, 8,
         "Resolution must be a positive integer"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Decoder node;
        node.system.timeStep = c.timeStep;
        node.inputs[0].rate = c.inputRate;
        node.params.delay = c.delay;
        node.params.inBits = c.inBits;
        node.params.resolution = c.resolution;
        EXPECT_EQ(node.init(), c.code);
        EXPECT_EQ(std::string(node.errorText), c.text);
        EXPECT_EQ(node.finish(), 0);
    }
}

// One block through the node: the N values of "decoded block" that follow.
std::vector<double> DecodeOneBlock(const std::function<void(DecoderParams&)>& edit,
                                   const std::vector<double>& samples) {
    Decoder node;
    node.useSmallHammingBlock();
    edit(node.params);
    EXPECT_EQ(node.init(), 0) << node.errorText;
    const int n = static_cast<int>(samples.size());
    for (int t = 0; t < n; ++t) node.runWith(t, samples[static_cast<size_t>(t)]);
    std::vector<double> decoded = {node.outputs[0].value};
    for (int t = n; t < 2 * n - 1; ++t) {
        node.run(t);
        decoded.push_back(node.outputs[0].value);
    }
    return decoded;
}

std::vector<double> RandomValues(uint32_t seed, double spread) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(-spread, spread);
    std::vector<double> v(64);
    for (double& x : v) x = value(rng);
    return v;
}

// Each hostile value decodes exactly like its stand-in, in both input modes.
TEST(DecoderRobustness, NanCountsAsZeroAndInfinitiesClip) {
    const uint32_t seed = TestSeed(20250301u);
    struct Case {
        const char* what;
        uint32_t bpsk;
        double spread, hostile, standIn;
    } cases[] = {
        {"amplitude NaN", 1, 2.0, kNan, 0.0},
        {"amplitude -NaN", 1, 2.0, -kNan, 0.0},
        {"amplitude +inf", 1, 2.0, kInf, 100.0},
        {"amplitude -inf", 1, 2.0, -kInf, -100.0},
        {"soft NaN", 0, 60.0, kNan, 0.0},
        {"soft +inf", 0, 60.0, kInf, 1e12},
        {"soft -inf", 0, 60.0, -kInf, -1e12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.what << ", seed " << seed);
        const auto mode = [&](DecoderParams& p) { p.bpsk = c.bpsk; };
        std::vector<double> hostile = RandomValues(seed, c.spread);
        std::vector<double> standIn = hostile;
        for (size_t i = 0; i < hostile.size(); i += 3) {
            hostile[i] = c.hostile;
            standIn[i] = c.standIn;
        }
        EXPECT_EQ(DecodeOneBlock(mode, hostile), DecodeOneBlock(mode, standIn));
    }
}

TEST(DecoderRobustness, MostNegativeIterationCountDecodesNothing) {
    const std::vector<double> decoded = DecodeOneBlock(
        [](DecoderParams& p) { p.iterations = std::numeric_limits<int32_t>::min(); },
        std::vector<double>(64, 1.0));
    EXPECT_EQ(decoded, std::vector<double>(64, 0.0));
}

TEST(DecoderRobustness, RepeatedInitWithoutFinalLeavesNothingBehind) {
    Decoder node;  // the default 64 x 64 block: some 100 KB of buffers
    ASSERT_EQ(node.init(), 0);
    node.finish();
    const size_t before = HeapBytesInUse();
    ASSERT_EQ(node.init(), 0);
    for (int run = 0; run < 20; ++run) {
        for (int t = 0; t < 100; ++t) node.runWith(t, t % 3 - 1.0);
        node.params.nx = node.params.ny = run % 2 == 0 ? 32 : 64;  // buffers of another size
        node.params.kx = node.params.ky = run % 2 == 0 ? 26 : 57;
        ASSERT_EQ(node.init(), 0);
    }
    node.params.NUMX = 0;  // refused: the buffers of the last run stay
    ASSERT_EQ(node.init(), 7);
    node.finish();
    EXPECT_LE(HeapBytesInUse(), before + kHeapNoiseBytes);
}

}  // namespace
