// What every node owes the host, table-driven over the three nodes: the refusals of an init call in their
// order (parameter checks first, timing no run can use last), allocation failures, output ports, and init
// calls on a record whose run had no final call.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/allocation.h"
#include "node_harness.h"

using namespace tpc;

namespace {

constexpr NodeKind kEnc = NodeKind::kEncoder, kDec = NodeKind::kDecoder, kLlr = NodeKind::kLlr;

const char* const kSize = "Code Dimension greater than 256 or Information dimension greater than 255";
const char* const kOrder = "Information bit dimension greater than code dimension";
const char* const kSign = "Code dimension or information dimension negative or zero";
const char* const kLog = "Code dimensions must satisfy log2(n) + 1 = n - k or for parity codes n-k=1";
const char* const kLength = "Invalid code word dimension, valid dimensions are 8,16,32,64,128,and 256";
const char* const kRate =
    "n/k * input sample rate > system rate. Increase the systemrate, decrease the input sample "
    "rate or decrease the code bits to message bits ratio n/k";
const char* const kStep = "System time step must be a positive finite number";
const char* const kSystemRate = "System rate must be a positive finite number";
const char* const kInputRate = "Input sample rate must be a positive finite number";
const char* const kOffset = "Offset (delay) must be finite, also when converted from bits to seconds";
const char* const kNumbers = "Number of constellation points must be between 2 and 256";
const char* const kPeak = "LLR table has no positive peak: check the constellation file and Es/No";
const char* const kIterations = "Number of iterations exceeds 128";
const char* const kWeightX = "NUMX must be an integer ranging from 1 to 16";
const char* const kWeightY = "NUMY must be an integer ranging from 1 to 16";
const char* const kWeightZ = "NUMZ must be an integer ranging from 1 to 16";
const char* const kResolution = "Resolution must be a positive integer";
const char* const kQuantLimit = "Quantization limit must be a positive number";
const char* const kFile = "Error opening constellation file";
const char* const kLlrLimit = "Quantization limit must be greater than 0.001";

// Each case changes what its name says; where two values are wrong, the one checked first decides the code.
const struct Refusal {
    NodeKind kind; const char* what; void (*edit)(Node&); int32_t code; const char* text;
} kRefusals[] = {
    {kEnc, "defaults", [](Node&) {}, 0, ""},
    {kEnc, "size before sign", [](Node& n) { Dims(n.encoder, 300, 0, 64, 57, 1, 1); }, 1, kSize},
    {kEnc, "k above 255", [](Node& n) { n.encoder.kz = 256; }, 1, kSize},
    {kEnc, "k > n", [](Node& n) { Dims(n.encoder, 64, 57, 64, 57, 4, 5); }, 2, kOrder},
    {kEnc, "k zero", [](Node& n) { n.encoder.kx = 0; }, 3, kSign},
    {kEnc, "X log rule", [](Node& n) { n.encoder.kx = 60; }, 4, kLog},
    {kEnc, "100/93: trunc(7.644) passes log2", [](Node& n) { Dims(n.encoder, 100, 93, 64, 57); }, 5, kLength},
    {kEnc, "X parity", [](Node& n) { Dims(n.encoder, 12, 11, 64, 57, 1, 1); }, 0, ""},
    {kEnc, "no X axis", [](Node& n) { Dims(n.encoder, 1, 1, 64, 57, 1, 1); }, 4, kLog},
    {kEnc, "Y log rule", [](Node& n) { n.encoder.ky = 58; }, 4, kLog},
    {kEnc, "Z log rule", [](Node& n) { Dims(n.encoder, 64, 57, 64, 57, 16, 10); }, 4, kLog},
    {kEnc, "Z length", [](Node& n) { Dims(n.encoder, 64, 57, 64, 57, 48, 42); }, 5, kLength},
    {kEnc, "parity of 2", [](Node& n) { Dims(n.encoder, 2, 1, 256, 255, 8, 4); n.system.systemRate = 1e9; }, 0, ""},
    {kEnc, "largest block", [](Node& n) { Dims(n.encoder, 256, 247, 256, 247, 256, 247);
        n.inputs[0].rate = 247.0 * 247 * 247; n.system.systemRate = 256.0 * 256 * 256; }, 0, ""},
    {kEnc, "rate above system rate", [](Node& n) { n.system.systemRate = 4095.9; }, 7, kRate},
    {kEnc, "rate within 1e-11 of it", [](Node& n) { n.system.systemRate = 4096 - 0.5e-11; }, 0, ""},
    {kEnc, "time step NaN", [](Node& n) { n.system.timeStep = kNan; }, 8, kStep},
    {kEnc, "system rate NaN", [](Node& n) { n.system.systemRate = kNan; }, 8, kSystemRate},
    {kEnc, "system rate infinite", [](Node& n) { n.system.systemRate = kInf; }, 8, kSystemRate},
    {kEnc, "input rate NaN", [](Node& n) { n.inputs[0].rate = kNan; }, 8, kInputRate},
    {kEnc, "input period overflows", [](Node& n) { n.inputs[0].rate = 1e-310; }, 8, kInputRate},
    {kEnc, "offset NaN", [](Node& n) { n.encoder.delay = kNan; }, 8, kOffset},
    {kEnc, "offset infinite", [](Node& n) { n.encoder.delay = -kInf; n.encoder.inBits = 0; }, 8, kOffset},
    {kEnc, "offset overflows", [](Node& n) { n.encoder.delay = 1e300, n.inputs[0].rate = 1e-300; }, 8, kOffset},
    {kEnc, "infinite input rate fails the rate check", [](Node& n) { n.inputs[0].rate = kInf; }, 7, kRate},
    {kDec, "defaults", [](Node&) {}, 0, ""},
    {kDec, "iterations", [](Node& n) { n.decoder.iterations = 129; n.decoder.NUMX = 0; }, 6, kIterations},
    {kDec, "NUMX", [](Node& n) { n.decoder.NUMX = 0; n.decoder.NUMY = 17; }, 7, kWeightX},
    {kDec, "NUMY", [](Node& n) { n.decoder.NUMY = 17; n.decoder.resolution = 0; }, 7, kWeightY},
    {kDec, "NUMZ", [](Node& n) { n.decoder.NUMZ = -1; }, 7, kWeightZ},
    {kDec, "resolution", [](Node& n) { n.decoder.resolution = 0; n.decoder.quantLimit = 0; }, 8, kResolution},
    {kDec, "quantLimit", [](Node& n) { n.decoder.quantLimit = 0; n.decoder.nx = 300; }, 8, kQuantLimit},
    {kDec, "quantLimit NaN", [](Node& n) { n.decoder.quantLimit = kNan; }, 8, kQuantLimit},
    {kDec, "size", [](Node& n) { Dims(n.decoder, 300, 0, 64, 57, 1, 1); }, 1, kSize},
    {kDec, "k > n", [](Node& n) { n.decoder.ky = 65; }, 2, kOrder},
    {kDec, "Z length", [](Node& n) { Dims(n.decoder, 64, 57, 64, 57, 24, 19); }, 5, kLength},
    {kDec, "no iterations", [](Node& n) { n.decoder.iterations = -5; }, 0, ""},
    {kDec, "time step zero", [](Node& n) { n.system.timeStep = 0; }, 9, kStep},
    {kDec, "input rate infinite", [](Node& n) { n.inputs[0].rate = kInf; }, 9, kInputRate},
    // 6e-309 has a finite period; 3249/4096 of it does not.
    {kDec, "information period overflows", [](Node& n) { n.inputs[0].rate = 6e-309; }, 9, kInputRate},
    {kDec, "offset infinite in bits", [](Node& n) { n.decoder.delay = kInf; }, 9, kOffset},
    {kDec, "resolution first", [](Node& n) { n.decoder.resolution = 0; n.inputs[0].rate = kNan; }, 8, kResolution},
    {kLlr, "defaults", [](Node&) {}, 0, ""},
    {kLlr, "points INT32_MIN", [](Node& n) { n.llr.numsym = INT32_MIN; }, 9, kNumbers},
    {kLlr, "one point", [](Node& n) { n.llr.numsym = 1; }, 9, kNumbers},
    {kLlr, "257 points", [](Node& n) { n.llr.numsym = 257; }, 9, kNumbers},
    {kLlr, "limit", [](Node& n) { n.llr.quantLimit = 0.0005; }, 9, kLlrLimit},
    {kLlr, "file first", [](Node& n) { n.useConstellation("none.txt", 4); n.system.timeStep = kNan; }, 8, kFile},
    {kLlr, "Es/No NaN", [](Node& n) { n.useConstellation("qpsk.txt", 4); n.llr.esno = kNan; }, 9, kPeak},
    {kLlr, "Es/No zero", [](Node& n) { n.useConstellation("qpsk.txt", 4); n.llr.esno = 0; }, 9, kPeak},
    {kLlr, "input rate zero", [](Node& n) { n.inputs[0].rate = 0; }, 10, kInputRate},
    // Usable itself, but three values per symbol make an infinite rate.
    {kLlr, "output rate overflows", [](Node& n) { n.inputs[0].rate = 1e308; }, 10, kInputRate},
};

TEST(NodeContract, InitRefusalsInTheirOrder) {
    for (const Refusal& c : kRefusals) {
        SCOPED_TRACE(testing::Message() << "node " << static_cast<int>(c.kind) << ": " << c.what);
        Node node(c.kind);
        c.edit(node);
        EXPECT_EQ(node.init(), c.code);
        EXPECT_EQ(std::string(node.errorText), c.text);
        EXPECT_TRUE(node.finish() == 0 && node.instance.state == nullptr);
    }
}

// Allocation n fails, for every n of the state record and its buffers: the first with the state's own
// message; the final call frees what was allocated.
TEST(NodeContract, EveryAllocationFailureIsRefusedAndFreed) {
    const struct { NodeKind kind; int32_t failureCode; int64_t allocations; } budgets[] = {
        {kEnc, 6, 7}, {kDec, 1, 7}, {kLlr, 1, 8}};
    for (const auto& b : budgets) {
        for (int64_t allowed = 0; allowed <= b.allocations; ++allowed) {
            SCOPED_TRACE(testing::Message() << "node " << static_cast<int>(b.kind) << ", " << allowed);
            Node node(b.kind);
            const int64_t before = LiveAllocationCount();
            FailAllocationsAfter(allowed);
            const int32_t status = node.init();
            FailAllocationsAfter(-1);
            EXPECT_EQ(LiveAllocationCount() - before, allowed);
            EXPECT_EQ(status, allowed == b.allocations ? 0 : b.failureCode);
            EXPECT_STREQ(node.errorText, allowed == b.allocations ? ""
                                         : allowed == 0         ? "Memory (mem_) allocation error"
                                                                : "Memory allocation error");
            EXPECT_EQ(node.instance.state != nullptr, allowed > 0);
            EXPECT_TRUE(node.finish() == 0 && node.instance.state == nullptr && LiveAllocationCount() == before);
        }
    }
}

// Every output of `calls` run calls on the system grid from t = 0, a sample (bits 0 1 0 1 0 ...) arriving
// every `stride` calls.
std::vector<double> Drive(Node& node, int calls, int stride) {
    std::vector<double> trace;
    for (int k = 0; k < calls; ++k) {
        const double value = ((k / stride * 3) % 5 - 2) * 0.6;
        if (k % stride == 0) node.run(k * node.system.timeStep, value, -value / 2);
        else node.run(k * node.system.timeStep);
        for (size_t p = 0; p < node.outputs.size(); ++p) trace.push_back(node.emitted(p));
    }
    return trace;
}

// Init sets up the output ports from input 0. An init call on a record whose run had no final call (the
// init and final flags both set, as a host may) reuses the record, frees its buffers before allocating again
// and starts the run afresh; a refused init keeps the last buffers for the final call to free.
TEST(NodeContract, InitWithoutFinalRestartsAndLeavesNothingBehind) {
    const struct { NodeKind kind; double inputRate, systemRate; void (*refuse)(Node&); std::vector<double> rates; }
        cases[] = {{kEnc, 1, 8, [](Node& n) { n.encoder.nx = 300; }, {8.0 / 3}},
                   {kDec, 1, 1, [](Node& n) { n.decoder.NUMX = 0; }, {1, 3.0 / 8}},
                   {kLlr, 1000, 3000, [](Node& n) { n.llr.numsym = 0; }, {3000}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.kind));
        const int stride = static_cast<int>(c.systemRate / c.inputRate);
        Node fresh(c.kind), node(c.kind);
        for (Node* n : {&fresh, &node}) {
            n->useTiming(c.inputRate, c.systemRate);
            n->inputs[0].time = 0.25;
            for (uint32_t i = 0; i < 3; ++i) n->inputs[0].portInfo[i] = 11 * (i + 1);
            if (c.kind == kEnc) Dims(n->encoder, 4, 3, 2, 1);
            if (c.kind == kDec) Dims(n->decoder, 4, 3, 2, 1);
        }
        ASSERT_EQ(fresh.init(), 0);
        for (size_t p = 0; p < c.rates.size(); ++p) {
            const PortRecord& out = fresh.outputs[p];
            EXPECT_TRUE(out.rate == c.rates[p] && out.time == 0.25 && out.portInfo[0] == 11 &&
                        out.portInfo[1] == 22 && out.portInfo[2] == 33) << "port " << p;
        }
        const std::vector<double> expected = Drive(fresh, 60, stride);

        EXPECT_EQ(node.finish(), 0);  // nothing to free yet
        const int64_t before = LiveAllocationCount();
        ASSERT_EQ(node.init(), 0);
        const int64_t perRun = LiveAllocationCount() - before;
        void* const state = node.instance.state;
        for (int run = 0; run < 2; ++run) {
            Drive(node, 9, stride);  // blocks left part-filled
            node.system.isFinalCall = 1;
            ASSERT_EQ(node.init(), 0);
            ASSERT_TRUE(node.instance.state == state && LiveAllocationCount() - before == perRun);
        }
        EXPECT_EQ(Drive(node, 60, stride), expected);
        c.refuse(node);
        EXPECT_NE(node.init(), 0);
        EXPECT_TRUE(node.finish() == 0 && LiveAllocationCount() == before);
    }
}

}  // namespace
