// The library descriptor as the host reads it.
#include <gtest/gtest.h>

#include <cstring>

#include "host/entry_points.h"

namespace {

// The host's arrays, filled with a pattern that is not ours.
struct HostArrays {
    NodeDescriptor nodes[3];
    const char* inputNames[3][4];
    const char* outputNames[3][4];
    LibraryDescriptor library;

    HostArrays() {
        std::memset(this, 0xA5, sizeof *this);
        for (int i = 0; i < 3; ++i) {
            nodes[i].inputNames = inputNames[i];
            nodes[i].outputNames = outputNames[i];
        }
        library.nodes = nodes;
    }
};

TEST(Descriptor, NamesPortsAndTexts) {
    HostArrays host;
    USERCODE(&host.library);
    EXPECT_EQ(host.library.interfaceLevel, 19u);
    ASSERT_EQ(host.library.nodeCount, 3u);
    const struct {
        const char *name, *shortName, *icon;
        uint32_t inputs, outputs;
        const char* description;
    } expected[] = {
        {"TPCENCODE", "ENC", "TPCENCODE2.wmf", 1, 1,
         "Performs the Turbo Product Code Encoding of an input data stream.Each dimensions code has word "
         "length n, with k information bits.  These variables must satisfy the following relationship : "
         "log2(n)+1 = n-k,unless a parity code is used in which n-k=1"},
        {"TPCDECODE", "DEC", "TPCDECODE.wmf", 1, 2,
         "Performs the Turbo Product Code decoding of an input encoded bit streamCode performance and "
         "throughput can adjusted by selecting various numbersof axis iterations,helical interleaving, or "
         "quantization levels."},
        {"LLRcalculator", "LLR", "LLR.wmf", 2, 1,
         "Calculates the Log Likelihood Ratio (LLR) of each bit of a recieved symbol"}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        const NodeDescriptor& node = host.nodes[i];
        EXPECT_EQ(node.nodeKind, 2u);
        EXPECT_STREQ(node.nodeName, expected[i].name);
        EXPECT_STREQ(node.shortName, expected[i].shortName);
        EXPECT_STREQ(node.iconFile, expected[i].icon);
        EXPECT_EQ(node.inputCount, expected[i].inputs);
        EXPECT_EQ(node.outputCount, expected[i].outputs);
        EXPECT_STREQ(node.description, expected[i].description);
    }
    EXPECT_STREQ(host.outputNames[1][0], "decoded block");
    EXPECT_STREQ(host.outputNames[1][1], "information");
    EXPECT_STREQ(host.inputNames[2][0], "Iinput");
    EXPECT_STREQ(host.inputNames[2][1], "Qinput");
}

// The encoder stores no port names, the decoder no input names, the LLR
// calculator no output names; a second call gives the same strings.
TEST(Descriptor, LeavesHostBytesAloneAndRepeatsItself) {
    HostArrays first, second;
    USERCODE(&first.library);
    const char* untouched;
    std::memset(&untouched, 0xA5, sizeof untouched);
    for (const char* name : {first.inputNames[0][0], first.outputNames[0][0], first.inputNames[1][0],
                             first.outputNames[2][0]}) {
        EXPECT_EQ(name, untouched);
    }
    EXPECT_EQ(first.nodes[0].reserved0, 0xA5A5A5A5u);
    for (uint8_t byte : first.nodes[1].reserved1) EXPECT_EQ(byte, 0xA5);
    USERCODE(&second.library);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(first.nodes[i].description, second.nodes[i].description);
}

}  // namespace
