// Shared helpers of the LLR tests: the example constellation files, and the
// table build written out step by step from the rules (sums over indices
// 0 ... 63 and bits 0 ... min(m, 6) - 1, no underflow handling) as an
// independent oracle.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "llr/constellation_reader.h"
#include "trial_count.h"

namespace llr_test {

// x87 arithmetic (32-bit x86 without SSE math) keeps doubles in 80-bit
// registers wherever the compiler chooses, so two compilations of one
// formula can differ in the last bits; bit-for-bit comparisons hold only
// where doubles are evaluated as doubles.
inline constexpr bool kDoublesEvaluatedAsDoubles = FLT_EVAL_METHOD == 0;

inline std::string ExampleConstellation(const std::string& name) {
    return std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + name;
}

struct Constellation {
    std::vector<double> pointI = std::vector<double>(256, 0.0);
    std::vector<double> pointQ = std::vector<double>(256, 0.0);
};

inline Constellation ReadExample(const std::string& name, int32_t M) {
    Constellation c;
    int32_t openFailed = 0;
    const std::string path = ExampleConstellation(name);
    ReadConstellation(c.pointI.data(), c.pointQ.data(), M, path.c_str(), &openFailed);
    EXPECT_EQ(openFailed, 0) << path;
    return c;
}

// The table as the rules state it, without any of the library's decisions on
// open points. An entry that is not a number or infinite is kept as such.
// rawOnly leaves the unnormalised ratios.
inline std::vector<double> ReferenceTable(const Constellation& c, int32_t M, double L, double esno,
                                       bool rawOnly = false) {
    const int32_t m = static_cast<int32_t>(std::log10(static_cast<double>(M)) * 3.322);
    const double A = M == 8 ? 60.0 : (M <= 32 ? 30.0 : 70.0);
    const double gamma = (M > 32 && esno > 8.0) ? 8.0 : esno;
    const double w = 2.0 * L / 256.0;
    std::vector<double> table(static_cast<size_t>(m) * 65536, 0.0);
    double mu[256] = {};
    for (int32_t r = 0; r < 256; ++r) {
        const double I = -L + L / 256.0 + r * w;
        for (int32_t col = 0; col < 256; ++col) {
            const double Q = -L + L / 256.0 + col * w;
            for (int32_t s = 0; s < M; ++s) {
                const double d2 = (I - c.pointI[s]) * (I - c.pointI[s]) +
                                  (Q - c.pointQ[s]) * (Q - c.pointQ[s]);
                mu[s] = std::exp(-d2 * gamma);
            }
            for (int32_t k = 0; k < std::min(m, 6); ++k) {
                double N = 0.0, D = 0.0;
                for (int32_t s = 0; s < 64; ++s) ((s >> k) & 1 ? N : D) += mu[s];
                table[(m * 256) * r + m * col + k] = std::log(N / D);
            }
        }
    }
    if (rawOnly) return table;
    const double P = *std::max_element(table.begin(), table.end());
    const double f = (1.0 / P) * A;
    // Our one departure from the plain formula: f * P can round to a hair
    // above A, which would make the peak 2A + 1 instead of 2A - 1.
    for (double& v : table) v = 2.0 * std::ceil(std::min(f * v, A)) - 1.0;
    return table;
}

inline size_t EntryIndex(int32_t m, int32_t r, int32_t c, int32_t k) {
    return static_cast<size_t>((m * 256) * r + m * c + k);
}

}  // namespace llr_test
