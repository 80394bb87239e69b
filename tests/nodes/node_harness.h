// One node called directly, the way the host calls it: the tests play the
// host, call by call. Each kind starts from its defaults and a timing it
// accepts.
#pragma once

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "host/parameter_blocks.h"

enum class NodeKind { kEncoder, kDecoder, kLlr };

struct Node {
    explicit Node(NodeKind kind, const char* constellation = "8psk.txt", int32_t points = 8)
        : inputs(kind == NodeKind::kLlr ? 2 : 1), outputs(kind == NodeKind::kDecoder ? 2 : 1) {
        std::memset(&params, 0, sizeof params);
        system.errorText = errorText;
        for (PortRecord& p : inputs) {
            p.noSample = 1;
            inputPointers.push_back(&p);
        }
        instance.inputs = inputPointers.data();
        instance.outputs = outputs.data();
        instance.params = &params;
        if (kind == NodeKind::kEncoder) {
            entry = TPCENCODE;
            WriteEncoderDefaults(params.encoder);
            useTiming(3249, 4096);
        } else if (kind == NodeKind::kDecoder) {
            entry = TPCDECODE;
            WriteDecoderDefaults(params.decoder);
            useTiming(1, 1);
        } else {
            entry = LLRcalculator;
            WriteLlrDefaults(params.llr);
            useConstellation(constellation, points);
            useTiming(1000, 3000);
        }
    }
    ~Node() { finish(); }

    void useConstellation(const char* file, int32_t points) {
        params.llr.numsym = points;
        const std::string path = std::string(TPC_SOURCE_DIR) + "/examples/constellations/";
        std::strcpy(params.llr.file, (path + file).c_str());
    }

    // Input rate, and a system rate whose step is the time grid of the calls.
    void useTiming(double inputRate, double systemRate) {
        inputs[0].rate = inputRate;
        system.systemRate = systemRate;
        system.timeStep = 1 / systemRate;
    }
    // The parity block nx = 4, kx = 3, ny = 2, ky = 1: N = 8, K = 3, and row
    // 1 repeats row 0.
    template <class Params>
    static void useSmallBlock(Params& p) {
        p.nx = 4;
        p.kx = 3;
        p.ny = 2;
        p.ky = 1;
    }

    // A test may set isFinalCall beforehand: with both flags it is still an
    // init call.
    int32_t init() {
        system.isInitCall = 1;
        const int32_t status = entry(&system, &instance);
        system.isInitCall = 0;
        system.isFinalCall = 0;
        return status;
    }
    // One run call at time t; `value` arrives on input 0 (and `q` on input 1)
    // unless it is null.
    int32_t run(double t, const double* value = nullptr, double q = 0) {
        system.currentTime = t;
        inputs[0].noSample = value != nullptr ? 0 : 1;
        if (value != nullptr) inputs[0].value = *value;
        if (inputs.size() > 1) inputs[1].value = q;
        return entry(&system, &instance);
    }
    int32_t runWith(double t, double value, double q = 0) { return run(t, &value, q); }
    int32_t finish() {
        system.isFinalCall = 1;
        const int32_t status = entry(&system, &instance);
        system.isFinalCall = 0;
        return status;
    }
    // Output `port` after a call: its value, or NaN when it emitted nothing.
    double emitted(size_t port = 0) const {
        return outputs[port].noSample == 0 ? outputs[port].value : std::nan("");
    }

    int32_t (*entry)(SystemRecord*, NodeInstance*) = nullptr;
    union {
        EncoderParams encoder;
        DecoderParams decoder;
        LlrParams llr;
    } params;
    SystemRecord system{};
    NodeInstance instance{};
    std::vector<PortRecord> inputs;
    std::vector<PortRecord*> inputPointers;
    std::vector<PortRecord> outputs;
    char errorText[512] = {};
};
