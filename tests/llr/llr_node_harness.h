// LLRcalculator called directly, the way the host calls it, on one of the
// example constellation files, with symbols arriving at 1000 per second.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "node_harness.h"

struct LlrNode : NodeHarness<LlrParams> {
    explicit LlrNode(const char* file = "8psk.txt", int32_t points = 8)
        : NodeHarness(LLRcalculator, 2, 1) {
        WriteLlrDefaults(params);
        params.numsym = points;
        std::strcpy(params.file, (std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + file).c_str());
        inputs[0].rate = 1000;
        inputs[0].portInfo[0] = 3;
        system.timeStep = 1.0 / 3000;
        system.systemRate = 3000;
    }
    // One symbol on both inputs at time t.
    void symbol(double t, double i, double q) {
        inputs[1].value = q;
        runWith(t, i);
    }
    // The m values emitted for one symbol, one call per output period.
    std::vector<double> valuesOf(double i, double q, int m) {
        std::vector<double> values;
        for (int k = 0; k < m; ++k, ++emitted_) {
            const double t = emitted_ / outputs[0].rate;
            if (k == 0) {
                symbol(t, i, q);
            } else {
                run(t);
            }
            EXPECT_EQ(outputs[0].noSample, 0u) << "value " << k;
            values.push_back(outputs[0].value);
        }
        return values;
    }

private:
    int emitted_ = 0;
};
