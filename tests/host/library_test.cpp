// What the host reads from the library outside the run calls: the descriptor, PARAMETER's answers (the
// defaults and dialogs are the wine program's part), and the time comparison and offset conversion every
// node shares, at the boundaries no node-level run reaches exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "host/node_frame.h"
#include "host/parameter_blocks.h"

using namespace tpc;

namespace {

// Names and ports only where the node has them; the host's own bytes, filled
// with a pattern, stay as they were.
TEST(Library, DescriptorLeavesTheHostsBytesAlone) {
    struct {
        NodeDescriptor nodes[3];
        const char* names[3][2][2];  // inputs, outputs
        LibraryDescriptor library;
    } host;
    std::memset(&host, 0xA5, sizeof host);
    for (int i = 0; i < 3; ++i) host.nodes[i].inputNames = host.names[i][0];
    for (int i = 0; i < 3; ++i) host.nodes[i].outputNames = host.names[i][1];
    host.library.nodes = host.nodes;
    const char* untouched;
    std::memset(&untouched, 0xA5, sizeof untouched);
    USERCODE(&host.library);
    EXPECT_TRUE(host.library.interfaceLevel == 19u && host.library.nodeCount == 3u);
    const struct {
        const char *name, *shortName, *icon;
        uint32_t inputs, outputs;
        const char* portNames[2][2];  // null: not written
    } expected[] = {{"TPCENCODE", "ENC", "TPCENCODE2.wmf", 1, 1, {{}, {}}},
                    {"TPCDECODE", "DEC", "TPCDECODE.wmf", 1, 2, {{}, {"decoded block", "information"}}},
                    {"LLRcalculator", "LLR", "LLR.wmf", 2, 1, {{"Iinput", "Qinput"}, {}}}};
    for (int i = 0; i < 3; ++i) {
        const NodeDescriptor& node = host.nodes[i];
        const auto& e = expected[i];
        EXPECT_TRUE(node.nodeKind == 2 && node.inputCount == e.inputs && node.outputCount == e.outputs) << e.name;
        EXPECT_EQ(std::string(node.nodeName) + "|" + node.shortName + "|" + node.iconFile,
                  std::string(e.name) + "|" + e.shortName + "|" + e.icon);
        EXPECT_TRUE(node.description != untouched && node.reserved0 == 0xA5A5A5A5u && node.reserved1[23] == 0xA5);
        for (int port = 0; port < 4; ++port) {
            const char* want = e.portNames[port / 2][port % 2];
            const char* got = host.names[i][port / 2][port % 2];
            if (want) EXPECT_STREQ(got, want) << e.name << port;
            else EXPECT_EQ(got, untouched) << e.name << port;
        }
    }
}

int32_t Ask(int32_t node, int32_t action, void* block = nullptr, char* text = nullptr) {
    ParameterRequest request{action, block, text, nullptr};
    return PARAMETER(node, &request);
}

// Unknown nodes and actions answer 0; without windowing the dialog fails
// (-1). Neither touches the block.
TEST(Library, BlockSizesUnknownRequestsAndNoDialog) {
    EXPECT_TRUE(Ask(0, 0) == 56 && Ask(1, 0) == 88 && Ask(2, 0) == 288);
    for (int32_t node : {-1, 3, 100}) {
        for (int32_t action : {-1, 0, 1, 2, 5}) EXPECT_EQ(Ask(node, action), 0) << node;
    }
    for (int32_t node = 0; node < 3; ++node) {
        std::vector<uint8_t> block(300, 0xEE);
        EXPECT_EQ(Ask(node, 5, block.data()) + Ask(node, -2, block.data()), 0);
#if !defined(_WIN32)  // there the real dialog would show
        EXPECT_EQ(Ask(node, 1, block.data()), -1);
#endif
        EXPECT_EQ(block, std::vector<uint8_t>(300, 0xEE));
    }
}

std::string Describe(int32_t node, void* block) {
    std::vector<char> text(2048, 'Z');
    EXPECT_EQ(Ask(node, 2, block, text.data()), 1);
    return text.data();
}

// Values as stored, in the order and precision of each node's format.
TEST(Library, Descriptions) {
    EncoderParams encoder{};
    WriteEncoderDefaults(encoder);
    encoder.nz = 16, encoder.kz = 11, encoder.delay = 123.4567;
    encoder.inBits = 0;  // the unit is not printed
    EXPECT_EQ(Describe(0, &encoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 16, Z information = 11, delay = 123.457, ");
    DecoderParams decoder{};
    WriteDecoderDefaults(decoder);
    decoder.delay = -2.5, decoder.deinter = 1, decoder.selectstp = 1, decoder.NUMX = 16, decoder.quantLimit = 0.25;
    EXPECT_EQ(Describe(1, &decoder),
              "X code length = 64, X information = 57, Y code length = 64, Y information = 57, "
              "Z code length = 1, Z information = 1, Quant limit = 0.250000, Resolution = 5, "
              "X feedback = 16/16, Y feedback = 7/16, Z feedback = 7/16, iterations = 64, "
              "deinter = 1, selectstp = 1, delay = -2.500 , ");
    LlrParams llr{};
    WriteLlrDefaults(llr);
    EXPECT_EQ(Describe(2, &llr), "esno = 11.50, numsym = 2, quant limit = 1.50, res = 5, file: ");
    llr.esno = 3.14159, llr.numsym = 16;
    std::memset(llr.file, 'p', 259);  // a full 259-character path is printed whole
    llr.file[259] = '\0';
    EXPECT_EQ(Describe(2, &llr),
              "esno = 3.14, numsym = 16, quant limit = 1.50, res = 5, file: " + std::string(259, 'p'));
}

TEST(Library, TimeReachedWithinAStepOver1024AndOffsetsInBits) {
    SystemRecord system{};
    system.timeStep = 1.0 / 1024;  // tolerance 2^-20 s, exact in binary
    system.currentTime = 1.0;
    const double tolerance = 1.0 / (1024.0 * 1024.0);
    EXPECT_TRUE(TimeReached(0.5, system) && TimeReached(1.0 + tolerance, system));  // equality counts
    EXPECT_FALSE(TimeReached(1.0 + 2 * tolerance, system));
    EXPECT_DOUBLE_EQ(OffsetInSeconds(10, 1, 1000), 0.01);
    EXPECT_EQ(OffsetInSeconds(-3, 0, 1000), -3.0);
    EXPECT_EQ(OffsetInSeconds(10, 2, 4), 2.5);  // any nonzero flag means bits
}

}  // namespace
