// tpc::api::LlrTable on the LLR node's reader, table and lookup.
#include "tpc/llr_table.h"

#include <cstdio>
#include <stdexcept>
#include <string>

#include "api/llr_settings.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

namespace tpc {
namespace api {

namespace {

void CheckPointCount(int32_t points) {
    if (points < 2 || points > kMaxConstellationPoints) {
        throw std::invalid_argument("a constellation has 2 ... 256 points, got " +
                                    std::to_string(points));
    }
}

std::string Shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

}  // namespace

void CheckLlrSettings(double esNo, double limit, const char* esNoName, const char* limitName) {
    if (const char* problem = EsNoProblem(esNo)) {
        throw std::invalid_argument(esNoName + std::string(problem) + ", got " + Shown(esNo));
    }
    if (const char* problem = LimitProblem(limit)) {
        throw std::invalid_argument(limitName + std::string(problem) + ", got " + Shown(limit));
    }
}

Constellation ReadConstellationFile(const std::string& path, int32_t points) {
    CheckPointCount(points);
    Constellation c{std::vector<double>(points, 0.0), std::vector<double>(points, 0.0)};
    int32_t openFailed = 0;
    const int32_t read =
        ReadConstellation(c.pointI.data(), c.pointQ.data(), points, path.c_str(), &openFailed);
    if (openFailed == kConstellationFileTooLong) {
        throw std::invalid_argument("constellation file " + path + " is longer than " +
                                    std::to_string(kMaxConstellationFileBytes) + " bytes");
    }
    if (openFailed != 0) throw std::invalid_argument("cannot open constellation file " + path);
    if (read < points) {
        throw std::invalid_argument("constellation file " + path + " holds " +
                                    std::to_string(read) + " whole points, " +
                                    std::to_string(points) + " wanted");
    }
    return c;
}

LlrTable::LlrTable(const Constellation& constellation, double esNo, double limit)
    : constellation_(constellation), esNo_(esNo), limit_(limit) {
    CheckLlrSettings(esNo, limit, "esNo", "limit");
    if (constellation_.pointI.size() != constellation_.pointQ.size()) {
        throw std::invalid_argument("constellation: " + std::to_string(constellation_.pointI.size()) +
                                    " I coordinates but " +
                                    std::to_string(constellation_.pointQ.size()) + " Q");
    }
    CheckPointCount(static_cast<int32_t>(constellation_.pointI.size()));
    const int32_t points = Points();
    const Status usable = CheckLlrParameters(points, limit);
    if (!usable.ok()) throw std::invalid_argument(std::string("LLR table: ") + usable.message);
    bitsPerSymbol_ = ::tpc::BitsPerSymbol(points);
    entries_.assign(static_cast<size_t>(bitsPerSymbol_) * kTableCells, 0.0);
    const Status built = BuildLlrTable(constellation_.pointI.data(), constellation_.pointQ.data(),
                                       entries_.data(), points, limit, kGridBits, esNo);
    if (!built.ok()) throw std::invalid_argument(std::string("LLR table: ") + built.message);
}

void LlrTable::Lookup(const double* sampleI, const double* sampleQ, size_t count,
                      int32_t* llrs) const {
    const int32_t m = bitsPerSymbol_;
    for (size_t s = 0; s < count; ++s) {
        int32_t row = 0, column = 0;
        LocateReceivedCell(sampleI[s], sampleQ[s], limit_, &row, &column);
        FetchSymbolLlrs(m, row, column, llrs + s * m, entries_.data());
    }
}

std::vector<int32_t> LlrTable::Lookup(const std::vector<double>& sampleI,
                                      const std::vector<double>& sampleQ) const {
    if (sampleI.size() != sampleQ.size()) {
        throw std::invalid_argument("LLR lookup: " + std::to_string(sampleI.size()) +
                                    " I samples but " + std::to_string(sampleQ.size()) + " Q");
    }
    std::vector<int32_t> llrs(sampleI.size() * bitsPerSymbol_);
    Lookup(sampleI.data(), sampleQ.data(), sampleI.size(), llrs.data());
    return llrs;
}

}  // namespace api
}  // namespace tpc
