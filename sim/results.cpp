#include "sim/results.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/kept_failures.h"
#include "sim/option_checks.h"
#include "sim/point_columns.h"
#include "sim/text_format.h"

namespace tpcsim {

double PointRecord::ber() const {
    return counts.bits > 0 ? static_cast<double>(counts.bitErrors) / counts.bits : 0.0;
}

double PointRecord::fer() const {
    return counts.blocks > 0 ? static_cast<double>(counts.blockErrors) / counts.blocks : 0.0;
}

Interval PointRecord::berInterval() const {
    return BlockBerInterval(BlockErrorCounts{counts.blocks, counts.bits, counts.bitErrors,
                                             counts.bitErrorsSquared, counts.blockErrors});
}

Interval PointRecord::ferInterval() const {
    return WilsonInterval(counts.blockErrors, counts.blocks);
}

double PointRecord::infoMbitPerSecond() const {
    return seconds > 0 ? counts.bits / seconds / 1e6 : 0.0;
}

PointRecord RecordOf(double ebN0Db, int32_t iterations, const PointResult& result,
                     const tpc::link::LinkGeometry& g, bool passesCounted) {
    PointRecord record;
    record.ebN0Db = ebN0Db;
    record.iterations = iterations;
    record.esN0Db = tpc::link::EsN0DbFromEbN0Db(ebN0Db, g.codeRate(), g.bitsPerSymbol);
    record.counts = result.counts;
    record.seconds = result.seconds;
    record.passesCounted = passesCounted;
    record.timeLimited = result.timeLimited;
    record.units = result.units;
    record.failures = result.failures;
    return record;
}

double PointRecord::averagePasses() const {
    return counts.blocks > 0 ? static_cast<double>(counts.passes) / counts.blocks : 0.0;
}

void AddReferences(RunRecord& run, const std::vector<double>& ebN0Points) {
    run.capacityLimitDb = LimitEbN0Db(run.options, run.geometry.codeRate());
    run.uncoded = UncodedCurve(run.options, run.capacityLimitDb, ebN0Points);
    run.outage = OutageCurve(run.options, run.capacityLimitDb, ebN0Points);
}

std::string TableHeader(bool passList) {
    return std::string(passList ? " iter" : "") +
           " Eb/N0   Es/N0      blocks  bit errors       BER      block err  undet.       FER    "
           "BER 95% interval     Mbit/s  passes\n";
}

std::string TableRow(const PointRecord& p, bool passList) {
    const Interval ci = p.berInterval();
    // The nodes engine knows neither the passes nor which block errors are code words.
    const std::string passes = p.passesCounted ? Format("%6.2f", p.averagePasses()) : "     -";
    const std::string undetected =
        p.passesCounted ? Format("%6lld", static_cast<long long>(p.counts.undetectedBlocks)) : "     -";
    return (passList ? Format("%5lld", static_cast<long long>(p.iterations)) : std::string()) +
           Format("%6.2f  %6.2f  %10lld  %10lld  %9.3e  %10lld  %s  %9.3e  [%8.2e, %8.2e]  %7.3f  %s\n",
                  p.ebN0Db, p.esN0Db, static_cast<long long>(p.counts.blocks),
                  static_cast<long long>(p.counts.bitErrors), p.ber(),
                  static_cast<long long>(p.counts.blockErrors), undetected.c_str(), p.fer(), ci.low, ci.high,
                  p.infoMbitPerSecond(), passes.c_str());
}

std::string FormatCsv(const RunRecord& run) {
    std::string csv;
    const bool passList = run.options.iterations.size() > 1;
    const auto inCsv = [passList](const PointColumn& c) {
        return c.csvFormat != nullptr && ColumnWritten(c, passList);
    };
    for (const PointColumn& c : PointColumns()) {
        if (inCsv(c)) csv += (csv.empty() ? "" : ",") + std::string(c.name);
    }
    csv += "\n";
    for (const PointRecord& p : run.points) {
        std::string row;
        for (const PointColumn& c : PointColumns()) {
            if (inCsv(c)) row += (row.empty() ? "" : ",") + ColumnCell(c, p);
        }
        csv += row + "\n";
    }
    return csv;
}

std::string FormatJson(const RunRecord& run) {
    const SimOptions& o = run.options;
    nlohmann::ordered_json doc;
    doc["program"] = "tpcsim";
    doc["version"] = TPCSIM_VERSION;
    doc["command_line"] = o.commandLine;
    if (!run.libraryPath.empty()) doc["library"] = run.libraryPath;
    doc["seed"] = o.seed;
    if (run.pooledSeeds.size() > 1) doc["seeds"] = run.pooledSeeds;
    doc["ranks"] = run.ranks;
    doc["threads"] = run.threads;
    doc["configuration"] = ConfigurationJson(o);
    doc["code"] = {{"info_bits", run.geometry.infoBits},
                   {"code_bits", run.geometry.codeBits},
                   {"rate", run.geometry.codeRate()},
                   {"bits_per_symbol", run.geometry.bitsPerSymbol},
                   {LimitKey(o), run.capacityLimitDb}};
    doc["confidence_interval"] =
        "95%; FER: Wilson score on blocks; BER: mean over blocks with the per-block error variance, "
        "within FER/K ... FER; without errors an upper bound only";
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const PointRecord& p : run.points) {
        nlohmann::ordered_json point = nlohmann::ordered_json::object();
        for (const PointColumn& c : PointColumns()) {
            if (ColumnWritten(c, o.iterations.size() > 1)) point[c.name] = ColumnValue(c, p);
        }
        if (!p.failures.empty()) point["failures"] = FailuresJson(p.failures);
        points.push_back(point);
    }
    doc["points"] = points;
    doc["interrupted"] = run.interrupted;
    doc["seconds"] = run.seconds;
    return doc.dump(2) + "\n";
}

}  // namespace tpcsim
