// What a sweep produced, and the writers of the table, CSV, JSON and plot.
#pragma once

#include <string>
#include <vector>

#include "link/link_description.h"
#include "sim/sim_options.h"
#include "sim/references.h"
#include "sim/statistics.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

struct PointRecord {
    double ebN0Db = 0, esN0Db = 0;
    LinkCounts counts;
    double seconds = 0;
    bool passesCounted = false;  // the block engine counts the decoder's passes
    bool timeLimited = false;    // ended by --max-time-per-point or --max-time, not a stop rule
    int64_t units = 0;           // work units summed: where --resume continues the point
    int64_t iterations = 0;      // the decoder's maximum axis passes on this row
    std::vector<KeptFailure> failures{};  // --keep-failures, in (unit, block) order
    double ber() const;
    double fer() const;
    Interval berInterval() const;  // 95%, blocks as trials (BlockBerInterval)
    Interval ferInterval() const;  // Wilson, 95%, on blocks
    double infoMbitPerSecond() const;
    double averagePasses() const;  // axis passes per block
};

// The record of a finished point at `ebN0Db` on a link of geometry `g`,
// decoded with at most `iterations` passes.
PointRecord RecordOf(double ebN0Db, int32_t iterations, const PointResult& result,
                     const tpc::link::LinkGeometry& g, bool passesCounted);

struct RunRecord {
    SimOptions options;
    std::string libraryPath;
    int ranks = 1;    // processes of a distributed run
    int threads = 1;  // worker threads, over all ranks
    tpc::link::LinkGeometry geometry{};
    // Limit for the code rate (LimitEbN0Db): binary-input AWGN, or BICM with
    // a constellation; ergodic over fast fading, the outage threshold over
    // block fading.
    double capacityLimitDb = 0;
    std::vector<UncodedPoint> uncoded;  // constellation and fading runs: the uncoded curve (uncoded.csv)
    std::vector<OutagePoint> outage;    // block fading: the outage probability (outage.csv)
    std::vector<PointRecord> points;
    // Seeds of the runs merge pooled (more than one), the first options.seed.
    std::vector<uint64_t> pooledSeeds;
    bool interrupted = false;
    double seconds = 0;
};

// The run's reference lines (its limit, the uncoded and outage curves) over
// the plot's range around `ebN0Points`, from its options and geometry.
void AddReferences(RunRecord& run, const std::vector<double>& ebN0Points);

// `passList`: the run has several pass counts, each row says its own.
std::string TableHeader(bool passList = false);
std::string TableRow(const PointRecord& point, bool passList = false);
std::string FormatCsv(const RunRecord& run);
// Keys of "configuration" are the option names, so the file can be given to
// --config to repeat the run.
std::string FormatJson(const RunRecord& run);
}  // namespace tpcsim
