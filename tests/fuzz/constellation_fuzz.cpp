// Any bytes as a constellation file: the library's reader, and for a mode
// byte with its top bit set the LLRs of the points it read at cells of the
// grid (the table's raw entries) for an Es/N0 the mode picks. A whole table
// takes 65536 cells, far more than one input's worth of time: the LLR node's
// checks before its table are in parameters_fuzz, the lookup in a table in
// samples_fuzz.
//
// Input layout: i16 numsym (any value), u8 mode, then the file's bytes.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fuzz_input.h"
#include "llr/cell_llrs.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"
#include "memory_file.h"

using namespace tpc;

namespace {

// Es/N0 ratios from the lowest a table takes to far past any real one.
constexpr double kEsNoChoices[] = {1e-3, kDefaultLlrEsNo, 1e3, 1e300};

// Cells along the grid's diagonals and edges, at the default limit.
constexpr int32_t kCellIndices[] = {0, 1, 64, 127, 128, 200, 254, 255};

// Every metric exponent -d^2 * gamma finite: the log-sum-exp form must then
// give a finite LLR for every bit, however small the metrics are.
void CheckCell(double I, double Q, const double* pointI, const double* pointQ, int32_t M,
               double gamma) {
    bool exponentsFinite = true;
    for (int32_t s = 0; s < M; ++s) {
        const double dI = I - pointI[s], dQ = Q - pointQ[s];
        exponentsFinite = exponentsFinite && std::isfinite(-(dI * dI + dQ * dQ) * gamma);
    }
    double llrs[kMaxBitsPerSymbol];
    const int32_t m = BitsPerSymbol(M);
    ComputeCellLlrs(I, Q, pointI, pointQ, M, m, gamma, llrs);
    for (int32_t k = 0; k < m; ++k) {
        if (exponentsFinite && !std::isfinite(llrs[k])) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    const int32_t points = in.take<int16_t>();
    const uint8_t mode = in.take<uint8_t>();
    const size_t fileSize = in.remaining();
    static const MemoryFile file;
    file.put(data + (size - fileSize), fileSize);

    // The reader, with arrays exactly as large as it is promised.
    double* pointI = static_cast<double*>(std::calloc(kMaxConstellationPoints, sizeof(double)));
    double* pointQ = static_cast<double*>(std::calloc(kMaxConstellationPoints, sizeof(double)));
    int32_t openFailed = 0;
    const int32_t read = ReadConstellation(pointI, pointQ, points, file.path().c_str(), &openFailed);
    if (openFailed != 0) std::abort();
    const int32_t asked = points < 0 ? 0 : points;
    if (read < 0 || read > asked || read > kMaxConstellationPoints) std::abort();

    // Sizes up to 16, as a run would take them from this file.
    const int32_t M = std::abs(points % 17);
    if ((mode & 0x80) != 0 && M >= 2) {
        const double gamma = MetricFactor(M, kEsNoChoices[mode & 3]);
        for (int32_t r : kCellIndices) {
            const double I = GridCellCentre(r, kDefaultLlrLimit);
            CheckCell(I, I, pointI, pointQ, M, gamma);
            CheckCell(I, -I, pointI, pointQ, M, gamma);
        }
        for (int32_t s = 0; s < M; ++s) CheckCell(pointI[s], pointQ[s], pointI, pointQ, M, gamma);
    }
    std::free(pointI);
    std::free(pointQ);
    return 0;
}
