#include "llr/llr_table.h"

#include <algorithm>
#include <cmath>

#include "llr/cell_llrs.h"
#include "llr/constellation_reader.h"

namespace tpc {

namespace {

constexpr double kEdgeMargin = 0.001;  // keeps located samples off the grid's outer edges
constexpr double kLargestOddInt32 = 2147483647.0;
constexpr Status kNoTable =
    Failure(kLlrUnusable, "LLR table has no positive peak: check the constellation file and Es/No");

// One axis of LocateLlrCell.
int32_t LocateOnAxis(double x, double L) {
    const double span = 2.0 * L;
    double a = x + L;
    if (a > span - kEdgeMargin) a = span - kEdgeMargin;
    // Written as "not at least" so that a sample that is not a number takes
    // the lower bound too; for every number it is the plain a < margin.
    if (!(a >= kEdgeMargin)) a = kEdgeMargin;
    const double index = std::ceil(a / (span / 256.0)) - 1.0;
    // Only an L that CheckLlrParameters rejects gets past these.
    if (!(index >= 0.0)) return 0;
    if (index > kGridCells - 1) return kGridCells - 1;
    return static_cast<int32_t>(index);
}

}  // namespace

int32_t BitsPerSymbol(int32_t M) {
    if (M < 2) return 0;
    return static_cast<int32_t>(std::log10(static_cast<double>(M)) * 3.322);
}

double PeakLevel(int32_t M) {
    if (M == 8) return 60.0;
    if (M <= 32) return 30.0;
    return 70.0;
}

double MetricFactor(int32_t M, double esno) {
    if (M > 32 && esno > 8.0) return 8.0;
    return esno;
}

double GridCellCentre(int32_t j, double L) {
    const double width = 2.0 * L / 256.0;
    return -L + L / 256.0 + j * width;
}

Status CheckLlrParameters(int32_t M, double L) {
    if (M < 2 || M > kMaxConstellationPoints) {
        return Failure(kLlrUnusable, "Number of constellation points must be between 2 and 256");
    }
    if (!(L > 0.001)) return Failure(kLlrUnusable, "Quantization limit must be greater than 0.001");
    if (!std::isfinite(2.0 * L)) return Failure(kLlrUnusable, "Quantization limit too large");
    return kOk;
}

const char* EsNoProblem(double esno) {
    return esno > 0 && std::isfinite(esno) ? nullptr : " must be a positive number (a ratio, not dB)";
}

const char* LimitProblem(double L) {
    return L > 0.001 && std::isfinite(L) ? nullptr : " must be greater than 0.001";
}

Status BuildLlrTable(const double* pointI, const double* pointQ, double* table, int32_t M,
                     double L, int32_t gridBits, double esno) {
    double rawToEntry = 0;
    return BuildLlrTable(pointI, pointQ, table, M, L, gridBits, esno, &rawToEntry);
}

Status BuildLlrTable(const double* pointI, const double* pointQ, double* table, int32_t M,
                     double L, int32_t gridBits, double esno, double* rawToEntry) {
    if (!CheckLlrParameters(M, L).ok() || gridBits != kGridBits) return kNoTable;
    const int32_t m = BitsPerSymbol(M);
    const double peakLevel = PeakLevel(M);
    const double gamma = MetricFactor(M, esno);
    if (!std::isfinite(gamma)) return kNoTable;

    for (int32_t r = 0; r < kGridCells; ++r) {
        const double I = GridCellCentre(r, L);
        for (int32_t c = 0; c < kGridCells; ++c) {
            const double Q = GridCellCentre(c, L);
            ComputeCellLlrs(I, Q, pointI, pointQ, M, m, gamma, table + (m * 256) * r + m * c);
        }
    }

    const int32_t size = m * kTableCells;
    double peak = table[0];
    for (int32_t i = 0; i < size; ++i) {
        if (!std::isfinite(table[i])) return kNoTable;
        if (table[i] > peak) peak = table[i];
    }
    if (!(peak > 0.0)) return kNoTable;
    const double scale = (1.0 / peak) * peakLevel;
    if (!std::isfinite(scale)) return kNoTable;
    *rawToEntry = scale;

    for (int32_t i = 0; i < size; ++i) {
        // No entry exceeds the peak, so scale * entry never exceeds the peak
        // level A but for the rounding of 1/P, A/P and the product, which can
        // push the peak itself a hair over A and make it 2A + 1. Capping at A
        // keeps the peak at 2A - 1, as the decoder's input range assumes, and
        // leaves every other entry exactly as the plain formula gives it.
        double v = 2.0 * std::ceil(std::min(scale * table[i], peakLevel)) - 1.0;
        // Only reachable when most entries dwarf a tiny peak; odd bounds keep
        // the entries odd.
        if (v > kLargestOddInt32) v = kLargestOddInt32;
        if (v < -kLargestOddInt32) v = -kLargestOddInt32;
        table[i] = v;
    }
    return kOk;
}

void LocateLlrCell(double I, double Q, double L, int32_t /*gridBits*/, int32_t* row,
                   int32_t* column) {
    *row = LocateOnAxis(I, L);
    *column = LocateOnAxis(Q, L);
}

void LocateReceivedCell(double I, double Q, double L, int32_t* row, int32_t* column) {
    LocateLlrCell(std::isnan(I) ? 0.0 : I, std::isnan(Q) ? 0.0 : Q, L, kGridBits, row, column);
}

void FetchSymbolLlrs(int32_t m, int32_t row, int32_t column, int32_t* out, const double* table) {
    const double* cell = table + (m * 256) * row + m * column;
    for (int32_t k = 0; k < m; ++k) out[k] = static_cast<int32_t>(cell[k]);
}

}  // namespace tpc
