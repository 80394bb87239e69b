// Host records around one node, for calling an entry point directly: the
// tests play the host, call by call.
#pragma once

#include <cstring>
#include <vector>

#include "host/entry_points.h"
#include "host/parameter_blocks.h"

template <class Params>
class NodeHarness {
    using Entry = int32_t (*)(SystemRecord*, NodeInstance*);
    Entry entry_;

public:

    NodeHarness(Entry entry, int inputs, int outputs)
        : entry_(entry), inputs(static_cast<size_t>(inputs)), outputs(static_cast<size_t>(outputs)) {
        std::memset(errorText, 0, sizeof errorText);
        system.errorText = errorText;
        system.timeStep = 1.0;
        system.systemRate = 1.0;
        for (PortRecord& p : this->inputs) {
            p.noSample = 1;
            inputPointers.push_back(&p);
        }
        instance.inputs = inputPointers.data();
        instance.outputs = this->outputs.data();
        instance.params = &params;
    }
    ~NodeHarness() { finish(); }

    int32_t init() {
        system.isInitCall = 1;
        system.isFinalCall = 0;
        const int32_t status = entry_(&system, &instance);
        system.isInitCall = 0;
        return status;
    }
    // One run call at time t; `value` arrives on input 0 unless it is null.
    int32_t run(double t, const double* value = nullptr) {
        system.currentTime = t;
        inputs[0].noSample = value != nullptr ? 0 : 1;
        if (value != nullptr) inputs[0].value = *value;
        return entry_(&system, &instance);
    }
    int32_t runWith(double t, double value) { return run(t, &value); }
    int32_t finish() {
        system.isFinalCall = 1;
        const int32_t status = entry_(&system, &instance);
        system.isFinalCall = 0;
        return status;
    }

    Params params{};
    SystemRecord system{};
    NodeInstance instance{};
    std::vector<PortRecord> inputs;
    std::vector<PortRecord*> inputPointers;
    std::vector<PortRecord> outputs;
    char errorText[512];

};
