// Records exchanged with the host simulator.
//
// The host lays these out; on its 32-bit little-endian platform every offset
// and width below is part of the contract, and the static_asserts at the end
// pin them down. Bytes the library never reads or writes are explicit
// `reserved*` members: they belong to the host. On 64-bit builds (used only by
// the development host and the tests) the same fields appear in the same order
// with native pointers.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// One sample travelling along a wire, 40 bytes.
struct PortRecord {
    double value;          // sample value
    double time;           // time stamp of the sample, seconds
    double rate;           // sample rate of the port, samples per second
    uint32_t noSample;     // 0: a sample is present in this call
    uint32_t portInfo[3];  // host signal data, copied from input 0 to outputs
};

// First argument of every node entry point. The library only reads it.
struct SystemRecord {
    uint8_t reserved0[16];
    double timeStep;     // system sample period, seconds
    double systemRate;   // system sample rate, samples per second
    uint8_t reserved1[40];
    double currentTime;  // current simulation time, seconds
    uint8_t reserved2[8];
    uint32_t isInitCall;
    uint32_t isFinalCall;
    char* errorText;     // host buffer for an error message (147 bytes or more)
#if UINTPTR_MAX == 0xFFFFFFFFu
    uint8_t reserved3[4];  // keeps the size a multiple of 8 on every 32-bit ABI
#endif
};

// Second argument of every node entry point: one placed node.
struct NodeInstance {
    uint32_t reserved0;
    PortRecord** inputs;   // one pointer per input port, in port order
    uint32_t reserved1;
    PortRecord* outputs;   // contiguous output records, in port order
    uint32_t reserved2;
    void* params;          // the node's parameter block
    uint32_t reserved3;
    void* state;           // the node's state record; null until the first init
};

// One node as the host sees it, 64 bytes on the host's platform.
struct NodeDescriptor {
    uint32_t nodeKind;
    const char* nodeName;
    const char* shortName;
    const char* description;
    const char* iconFile;
    uint32_t inputCount;
    uint32_t reserved0;
    const char** inputNames;   // host array; filled only where names exist
    uint32_t outputCount;
    const char** outputNames;  // host array; filled only where names exist
    uint8_t reserved1[24];
};

struct LibraryDescriptor {
    uint32_t interfaceLevel;
    uint32_t nodeCount;
    NodeDescriptor* nodes;  // host array of nodeCount descriptors
};

// Second argument of PARAMETER.
struct ParameterRequest {
    int32_t action;     // -1 defaults + dialog, 0 size, 1 dialog, 2 description
    void* block;        // the node's parameter block
    char* text;         // description buffer for action 2
    void* parentWindow; // owner of the parameter dialog
};

// Parameter block of TPCENCODE, 56 bytes.
struct EncoderParams {
    int32_t nx, ny, nz;
    int32_t kx, ky, kz;
    double delay;       // start offset: input bits if inBits, else seconds
    double threshold;   // hard-decision threshold of the input samples
    uint32_t interleave;
    uint32_t inSeconds;
    uint32_t inBits;
    uint8_t reserved0[4];
};

// Parameter block of TPCDECODE, 88 bytes.
struct DecoderParams {
    int32_t nx, ny, nz;
    int32_t kx, ky, kz;
    double quantLimit;
    int32_t resolution;
    int32_t NUMX, NUMY, NUMZ;  // feedback weights in sixteenths
    int32_t iterations;
    uint8_t reserved0[4];
    double delay;
    uint32_t deinter;
    uint32_t selectstp;
    uint32_t inSeconds;
    uint32_t inBits;
    uint32_t bpsk;
    uint32_t higherOrderMod;
};

// Parameter block of LLRcalculator, 288 bytes.
struct LlrParams {
    double esno;
    int32_t numsym;
    uint8_t reserved0[4];
    double quantLimit;
    int32_t res;
    char file[260];  // zero-terminated constellation file path
};

}  // extern "C"

// Parameter blocks hold no pointers: their layout is the same everywhere.
static_assert(sizeof(PortRecord) == 40, "PortRecord size");
static_assert(offsetof(PortRecord, time) == 8 && offsetof(PortRecord, rate) == 16 &&
                  offsetof(PortRecord, noSample) == 24 && offsetof(PortRecord, portInfo) == 28,
              "PortRecord layout");

static_assert(sizeof(EncoderParams) == 56, "EncoderParams size");
static_assert(offsetof(EncoderParams, ny) == 4 && offsetof(EncoderParams, nz) == 8 &&
                  offsetof(EncoderParams, kx) == 12 && offsetof(EncoderParams, ky) == 16 &&
                  offsetof(EncoderParams, kz) == 20 && offsetof(EncoderParams, delay) == 24 &&
                  offsetof(EncoderParams, threshold) == 32 &&
                  offsetof(EncoderParams, interleave) == 40 &&
                  offsetof(EncoderParams, inSeconds) == 44 && offsetof(EncoderParams, inBits) == 48,
              "EncoderParams layout");

static_assert(sizeof(DecoderParams) == 88, "DecoderParams size");
static_assert(offsetof(DecoderParams, quantLimit) == 24 &&
                  offsetof(DecoderParams, resolution) == 32 && offsetof(DecoderParams, NUMX) == 36 &&
                  offsetof(DecoderParams, NUMY) == 40 && offsetof(DecoderParams, NUMZ) == 44 &&
                  offsetof(DecoderParams, iterations) == 48 && offsetof(DecoderParams, delay) == 56 &&
                  offsetof(DecoderParams, deinter) == 64 && offsetof(DecoderParams, selectstp) == 68 &&
                  offsetof(DecoderParams, inSeconds) == 72 && offsetof(DecoderParams, inBits) == 76 &&
                  offsetof(DecoderParams, bpsk) == 80 && offsetof(DecoderParams, higherOrderMod) == 84,
              "DecoderParams layout");

static_assert(sizeof(LlrParams) == 288, "LlrParams size");
static_assert(offsetof(LlrParams, numsym) == 8 && offsetof(LlrParams, quantLimit) == 16 &&
                  offsetof(LlrParams, res) == 24 && offsetof(LlrParams, file) == 28,
              "LlrParams layout");

#if UINTPTR_MAX == 0xFFFFFFFFu
// The host's own platform: every offset of the records is fixed.
static_assert(offsetof(SystemRecord, timeStep) == 16 && offsetof(SystemRecord, systemRate) == 24 &&
                  offsetof(SystemRecord, currentTime) == 72 &&
                  offsetof(SystemRecord, isInitCall) == 88 &&
                  offsetof(SystemRecord, isFinalCall) == 92 &&
                  offsetof(SystemRecord, errorText) == 96,
              "SystemRecord layout");
static_assert(sizeof(SystemRecord) == 104, "SystemRecord size");

static_assert(offsetof(NodeInstance, inputs) == 4 && offsetof(NodeInstance, outputs) == 12 &&
                  offsetof(NodeInstance, params) == 20 && offsetof(NodeInstance, state) == 28,
              "NodeInstance layout");
static_assert(sizeof(NodeInstance) == 32, "NodeInstance size");

static_assert(offsetof(NodeDescriptor, nodeName) == 4 && offsetof(NodeDescriptor, shortName) == 8 &&
                  offsetof(NodeDescriptor, description) == 12 &&
                  offsetof(NodeDescriptor, iconFile) == 16 &&
                  offsetof(NodeDescriptor, inputCount) == 20 &&
                  offsetof(NodeDescriptor, inputNames) == 28 &&
                  offsetof(NodeDescriptor, outputCount) == 32 &&
                  offsetof(NodeDescriptor, outputNames) == 36,
              "NodeDescriptor layout");
static_assert(sizeof(NodeDescriptor) == 64, "NodeDescriptor size");

static_assert(offsetof(LibraryDescriptor, nodeCount) == 4 &&
                  offsetof(LibraryDescriptor, nodes) == 8 && sizeof(LibraryDescriptor) == 12,
              "LibraryDescriptor layout");

static_assert(offsetof(ParameterRequest, block) == 4 && offsetof(ParameterRequest, text) == 8 &&
                  offsetof(ParameterRequest, parentWindow) == 12 && sizeof(ParameterRequest) == 16,
              "ParameterRequest layout");
#endif
