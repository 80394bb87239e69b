// TPCDECODE called directly, the way the host calls it: the checks in their
// order, allocation failures, the output ports, and the pacing of both
// outputs call by call.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "decoder/product_decoder.h"
#include "host/allocation.h"
#include "node_harness.h"

namespace {

struct Decoder : NodeHarness<DecoderParams> {
    Decoder() : NodeHarness(TPCDECODE, 1, 2) {
        WriteDecoderDefaults(params);
        inputs[0].rate = 1;
        inputs[0].portInfo[0] = 5;
        inputs[0].portInfo[1] = 6;
        inputs[0].portInfo[2] = 7;
    }
    // The two-parity-code block: nx = 4, kx = 3, ny = 2, ky = 1; N = 8, K = 3.
    void useSmallBlock() {
        params.nx = 4;
        params.kx = 3;
        params.ny = 2;
        params.ky = 1;
    }
};

TEST(DecoderNode, ChecksRunInTheirOrder) {
    struct Case {
        const char* what;
        void (*edit)(DecoderParams&);
        int32_t code;
        const char* text;
    } cases[] = {
        {"defaults", [](DecoderParams&) {}, 0, ""},
        {"iterations", [](DecoderParams& p) { p.iterations = 129; p.NUMX = 0; }, 6,
         "Number of iterations exceeds 128"},
        {"NUMX", [](DecoderParams& p) { p.NUMX = 0; p.NUMY = 17; }, 7,
         "NUMX must be an integer ranging from 1 to 16"},
        {"NUMY", [](DecoderParams& p) { p.NUMY = 17; p.resolution = 0; }, 7,
         "NUMY must be an integer ranging from 1 to 16"},
        {"NUMZ", [](DecoderParams& p) { p.NUMZ = -1; }, 7,
         "NUMZ must be an integer ranging from 1 to 16"},
        {"resolution", [](DecoderParams& p) { p.resolution = 0; p.quantLimit = 0; }, 8,
         "Resolution must be a positive integer"},
        {"quantLimit", [](DecoderParams& p) { p.quantLimit = 0; p.nx = 300; }, 8,
         "Quantization limit must be a positive number"},
        {"quantLimit NaN", [](DecoderParams& p) { p.quantLimit = std::nan(""); }, 8,
         "Quantization limit must be a positive number"},
        {"size", [](DecoderParams& p) { p.nx = 300; p.kx = 0; }, 1,
         "Code Dimension greater than 256 or Information dimension greater than 255"},
        {"k > n", [](DecoderParams& p) { p.ky = 65; }, 2,
         "Information bit dimension greater than code dimension"},
        {"sign", [](DecoderParams& p) { p.kz = 0; }, 3,
         "Code dimension or information dimension negative or zero"},
        {"X log rule", [](DecoderParams& p) { p.kx = 58; }, 4,
         "Code dimensions must satisfy log2(n) + 1 = n - k or for parity codes n-k=1"},
        {"X length", [](DecoderParams& p) { p.nx = 48; p.kx = 42; }, 5,
         "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256"},
        {"X parity", [](DecoderParams& p) { p.nx = 10; p.kx = 9; }, 0, ""},
        {"Z length", [](DecoderParams& p) { p.nz = 24; p.kz = 19; }, 5,
         "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256"},
        {"no iterations", [](DecoderParams& p) { p.iterations = -5; }, 0, ""},
    };
    for (const Case& c : cases) {
        Decoder node;
        c.edit(node.params);
        SCOPED_TRACE(c.what);
        EXPECT_EQ(node.init(), c.code);
        EXPECT_EQ(std::string(node.errorText), c.text);
    }
}

TEST(DecoderNode, EveryAllocationFailureIsReportedWithCodeOne) {
    for (int allowed = 0; allowed <= 6; ++allowed) {
        Decoder node;
        FailAllocationsAfter(allowed);
        const int32_t status = node.init();
        FailAllocationsAfter(-1);
        SCOPED_TRACE(allowed);
        EXPECT_EQ(status, 1);
        EXPECT_STREQ(node.errorText, allowed == 0 ? "Memory (mem_) allocation error"
                                                  : "Memory allocation error");
        EXPECT_EQ(node.finish(), 0);
        EXPECT_EQ(node.instance.state, nullptr);
    }
}

TEST(DecoderNode, OutputPortsFollowTheInput) {
    Decoder node;
    node.inputs[0].rate = 4096;
    node.inputs[0].time = 0.5;
    ASSERT_EQ(node.init(), 0);
    EXPECT_EQ(node.outputs[0].rate, 4096.0);
    EXPECT_EQ(node.outputs[1].rate, 3249.0);
    for (const PortRecord& out : node.outputs) {
        EXPECT_EQ(out.time, 0.5);
        EXPECT_EQ(out.portInfo[0], 5u);
        EXPECT_EQ(out.portInfo[2], 7u);
    }
}

// The worked pacing example: one sample per call at rate 1, calls at 0, 1, 2 ...
TEST(DecoderNode, PacingOfBothOutputsCallByCall) {
    Decoder node;
    node.useSmallBlock();
    node.params.iterations = 2;
    ASSERT_EQ(node.init(), 0);
    // Block 1 decodes to 1 1 0 | 0 over row 1 = row 0; block 2 to all zeros.
    const double block1[] = {1, 1, -1, -1, 1, 1, -1, -1};
    std::vector<int> blockTimes, infoTimes;
    std::vector<double> blockValues, infoValues, infoStamps;
    for (int t = 0; t < 24; ++t) {
        const double v = t < 8 ? block1[t] : -1.0;
        node.runWith(t, v);
        if (node.outputs[0].noSample == 0) {
            blockTimes.push_back(t);
            blockValues.push_back(node.outputs[0].value);
            EXPECT_EQ(node.outputs[0].time, t);  // stamped 0, 1, 2 ...
        }
        if (node.outputs[1].noSample == 0) {
            infoTimes.push_back(t);
            infoValues.push_back(node.outputs[1].value);
            infoStamps.push_back(node.outputs[1].time);
        }
    }
    // "decoded block" emits in every call: zeros until the first block is
    // complete at t = 7, then its eight bits at 7 ... 14.
    ASSERT_EQ(blockTimes.size(), 24u);
    const std::vector<double> expectedBlock = {0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
    EXPECT_EQ(std::vector<double>(blockValues.begin(), blockValues.begin() + 15), expectedBlock);
    // "information": calls 0, 1, 3 (zeros), 7, 8, 11 (first block), 15, 16 ...
    ASSERT_GE(infoTimes.size(), 8u);
    EXPECT_EQ(std::vector<int>(infoTimes.begin(), infoTimes.begin() + 8),
              (std::vector<int>{0, 1, 3, 7, 8, 11, 15, 16}));
    EXPECT_EQ(std::vector<double>(infoValues.begin(), infoValues.begin() + 6),
              (std::vector<double>{0, 0, 0, 1, 1, 0}));
    for (size_t n = 0; n < infoStamps.size(); ++n) {
        EXPECT_DOUBLE_EQ(infoStamps[n], n * (8.0 / 3)) << n;
    }
}

TEST(DecoderNode, OffsetDropsEarlySamplesAndHoldsTheOutputs) {
    Decoder node;
    node.useSmallBlock();
    node.params.delay = 10;  // bits at rate 1000: 0.01 s
    node.inputs[0].rate = 1000;
    node.system.timeStep = 1e-3;
    ASSERT_EQ(node.init(), 0);
    // Samples before 0.01 s are dropped: the block is the 8 values from 0.01 s.
    for (int k = 0; k < 10; ++k) node.runWith(k * 1e-3, 1.0);
    const double block[] = {1, 1, -1, -1, 1, 1, -1, -1};
    for (int k = 0; k < 8; ++k) node.runWith((10 + k) * 1e-3, block[k]);
    // The block completed in the last call: its first bit is out.
    EXPECT_EQ(node.outputs[0].noSample, 0u);
    EXPECT_EQ(node.outputs[0].value, 1.0);
    node.run(18e-3);
    EXPECT_EQ(node.outputs[0].value, 1.0);
    node.run(19e-3);
    EXPECT_EQ(node.outputs[0].value, 0.0);
}

TEST(DecoderNode, SoftInputIsTruncated) {
    // bpsk 0: 2.9 -> 2, -2.9 -> -2; a single pass of the parity decoders
    // keeps a clean word.
    Decoder node;
    node.useSmallBlock();
    node.params.bpsk = 0;
    node.params.iterations = 1;
    ASSERT_EQ(node.init(), 0);
    const double block[] = {2.9, 2.9, -2.9, -2.9, 2.9, 2.9, -2.9, -2.9};
    for (int t = 0; t < 8; ++t) node.runWith(t, block[t]);
    std::vector<double> out = {node.outputs[0].value};
    for (int t = 8; t < 15; ++t) {
        node.run(t);
        out.push_back(node.outputs[0].value);
    }
    EXPECT_EQ(out, (std::vector<double>{1, 1, 0, 0, 1, 1, 0, 0}));
}

TEST(DecoderNode, InitReusesTheStateAndRestartsTheRun) {
    Decoder node;
    node.useSmallBlock();
    ASSERT_EQ(node.init(), 0);
    void* state = node.instance.state;
    for (int t = 0; t < 5; ++t) node.runWith(t, 1.0);
    ASSERT_EQ(node.init(), 0);
    EXPECT_EQ(node.instance.state, state);
    // A fresh run: eight more values complete a block (not three).
    for (int t = 0; t < 7; ++t) node.runWith(t, 1.0);
    node.run(7);
    EXPECT_EQ(node.outputs[0].value, 0.0);
    node.runWith(8, 1.0);  // eighth stored value: all ones decode to ones
    EXPECT_EQ(node.outputs[0].value, 1.0);
}

}  // namespace
