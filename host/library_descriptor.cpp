// USERCODE: tells the host which nodes the library offers.
#include "host/entry_points.h"

namespace tpc {

namespace {

constexpr uint32_t kInterfaceLevel = 19;
constexpr uint32_t kNodeCount = 3;
constexpr uint32_t kNodeKind = 2;

// The descriptions are the nodes' own texts, kept exactly as they were written.
constexpr const char* kEncoderDescription =
    "Performs the Turbo Product Code Encoding of an input data stream.Each dimensions code has "
    "word length n, with k information bits.  These variables must satisfy the following "
    "relationship : log2(n)+1 = n-k,unless a parity code is used in which n-k=1";
constexpr const char* kDecoderDescription =
    "Performs the Turbo Product Code decoding of an input encoded bit streamCode performance and "
    "throughput can adjusted by selecting various numbersof axis iterations,helical "
    "interleaving, or quantization levels.";
constexpr const char* kLlrDescription =
    "Calculates the Log Likelihood Ratio (LLR) of each bit of a recieved symbol";

void Describe(NodeDescriptor& node, const char* name, const char* shortName,
              const char* description, const char* iconFile, uint32_t inputCount,
              uint32_t outputCount) {
    node.nodeKind = kNodeKind;
    node.nodeName = name;
    node.shortName = shortName;
    node.description = description;
    node.iconFile = iconFile;
    node.inputCount = inputCount;
    node.outputCount = outputCount;
}

}  // namespace

}  // namespace tpc

extern "C" void USERCODE(LibraryDescriptor* library) {
    using namespace tpc;
    library->interfaceLevel = kInterfaceLevel;
    library->nodeCount = kNodeCount;
    NodeDescriptor* nodes = library->nodes;

    Describe(nodes[0], "TPCENCODE", "ENC", kEncoderDescription, "TPCENCODE2.wmf", 1, 1);

    Describe(nodes[1], "TPCDECODE", "DEC", kDecoderDescription, "TPCDECODE.wmf", 1, 2);
    nodes[1].outputNames[0] = "decoded block";
    nodes[1].outputNames[1] = "information";

    Describe(nodes[2], "LLRcalculator", "LLR", kLlrDescription, "LLR.wmf", 2, 1);
    nodes[2].inputNames[0] = "Iinput";
    nodes[2].inputNames[1] = "Qinput";
}
