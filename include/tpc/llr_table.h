// Soft values of the bits of received I/Q symbols, looked up in the table the
// LLR calculator node builds: 256 x 256 cells over [-limit, limit]^2, m bits
// per symbol (m = floor(log2 M)), each entry an odd integer, positive when
// the bit is more likely 1. Point s of the constellation carries label s:
// bit k of the symbol is bit k of s, bit 0 first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tpc/visibility.h"

namespace tpc {
namespace api {

struct Constellation {
    std::vector<double> pointI;
    std::vector<double> pointQ;
};

// M points of a constellation file: a leading integer, then per point an
// integer (not used), I and Q, separated by any white space; the label of a
// point is its place in the file. Throws std::invalid_argument when the file
// cannot be opened or holds fewer than M points, or M is not 2 ... 256.
TPC_API Constellation ReadConstellationFile(const std::string& path, int32_t points);

// Built once (the table is m * 65536 doubles), then looked up any number of
// times. Lookups do not change the table, but like every object here it is
// meant for one thread at a time.
class TPC_API LlrTable {
public:
    // esNo: Es/N0 as a plain ratio; limit: the half-width L of the grid.
    // Throws std::invalid_argument for an esNo that is not a positive finite
    // number, a limit that is not finite and above 0.001, M (= the number of
    // points) outside 2 ... 256, pointI and pointQ of different lengths, or a
    // table the node could not build, with the node's message.
    LlrTable(const Constellation& constellation, double esNo, double limit = 1.5);

    int32_t Points() const { return static_cast<int32_t>(constellation_.pointI.size()); }
    int32_t BitsPerSymbol() const { return bitsPerSymbol_; }
    double EsNo() const { return esNo_; }
    double Limit() const { return limit_; }
    const Constellation& constellation() const { return constellation_; }
    // Entry (row, column, bit) at (row * 256 + column) * m + bit; rows follow
    // I, columns Q.
    const std::vector<double>& Entries() const { return entries_; }

    // count samples in, count x m soft values out (sample by sample, bit 0
    // first), exactly as the node emits them; a coordinate that is not a
    // number counts as 0.
    void Lookup(const double* sampleI, const double* sampleQ, size_t count, int32_t* llrs) const;
    std::vector<int32_t> Lookup(const std::vector<double>& sampleI,
                                const std::vector<double>& sampleQ) const;

private:
    Constellation constellation_;
    double esNo_;
    double limit_;
    int32_t bitsPerSymbol_;
    std::vector<double> entries_;
};

}  // namespace api
}  // namespace tpc
