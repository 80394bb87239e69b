// One node called directly, the way the host calls it: the tests play the host, call by call. Each kind
// starts from its defaults and a timing it accepts (the LLR calculator on the 8PSK example file).
#pragma once

#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "code/product_code.h"
#include "host/entry_points.h"
#include "host/parameter_blocks.h"

using namespace tpc;

enum class NodeKind { kEncoder, kDecoder, kLlr };
constexpr double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();

// The parity block (4, 3, 2, 1) has N = 8, K = 3, and its row 1 repeats row 0.
template <class Params>
void Dims(Params& p, int32_t nx, int32_t kx, int32_t ny, int32_t ky, int32_t nz = 1, int32_t kz = 1) {
    CopyCodeDimensions(ProductCode{nx, kx, ny, ky, nz, kz}, p);
}

struct Node {
    explicit Node(NodeKind kind)
        : inputs(kind == NodeKind::kLlr ? 2 : 1), outputs(kind == NodeKind::kDecoder ? 2 : 1) {
        std::memset(&params, 0, sizeof params);
        system.errorText = errorText;
        for (PortRecord& p : inputs) inputPointers.push_back(&p);
        instance = {0, inputPointers.data(), 0, outputs.data(), 0, &params, 0, nullptr};
        if (kind == NodeKind::kEncoder) {
            entry = TPCENCODE, WriteEncoderDefaults(encoder), useTiming(3249, 4096);
        } else if (kind == NodeKind::kDecoder) {
            entry = TPCDECODE, WriteDecoderDefaults(decoder), useTiming(1, 1);
        } else {
            entry = LLRcalculator, WriteLlrDefaults(llr), useConstellation("8psk.txt", 8), useTiming(1000, 3000);
        }
    }
    ~Node() { finish(); }

    // Input rate, and a system rate whose step is the time grid of the calls.
    void useTiming(double inputRate, double systemRate) {
        inputs[0].rate = inputRate, system.systemRate = systemRate, system.timeStep = 1 / systemRate;
    }
    void useConstellation(const char* file, int32_t points) {
        llr.numsym = points;
        std::strcpy(llr.file, (std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + file).c_str());
    }

    int32_t init() {  // a test may set isFinalCall first: with both flags it is an init call
        system.isInitCall = 1;
        const int32_t status = entry(&system, &instance);
        system.isInitCall = system.isFinalCall = 0;
        return status;
    }
    // One run call at time t; a sample arrives on input 0 (and q on input 1) when there is a value.
    int32_t run(double t, std::optional<double> value = {}, double q = 0) {
        system.currentTime = t;
        for (PortRecord& p : inputs) p.noSample = value ? 0 : 1;
        inputs[0].value = value.value_or(0);
        if (inputs.size() > 1) inputs[1].value = q;
        return entry(&system, &instance);
    }
    int32_t finish() {
        system.isFinalCall = 1;
        const int32_t status = entry(&system, &instance);
        system.isFinalCall = 0;
        return status;
    }
    static constexpr double kSilent = -1e300;  // what a port emits when it has no sample
    double emitted(size_t port = 0) const { return outputs[port].noSample == 0 ? outputs[port].value : kSilent; }

    int32_t (*entry)(SystemRecord*, NodeInstance*) = nullptr;
    union { EncoderParams encoder; DecoderParams decoder; LlrParams llr; } params;
    EncoderParams& encoder = params.encoder;
    DecoderParams& decoder = params.decoder;
    LlrParams& llr = params.llr;
    SystemRecord system{};
    NodeInstance instance{};
    std::vector<PortRecord> inputs, outputs;
    std::vector<PortRecord*> inputPointers;
    char errorText[512] = {};
};
