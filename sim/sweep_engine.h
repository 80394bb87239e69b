// The sweep engine: each Eb/N0 point is a sequence of work units of a few
// blocks; workers take units in order, and the results are summed and the
// stop rule applied in unit order, so the counts of a point do not depend on
// the number of threads or on which worker ran which unit.
//
//   unit:    0   1   2   3   4   5 ...        seed(u) = UnitSeed(seed, point, u)
//   worker:  A   B   A   B   B   A            (any assignment)
//   summed:  0 + 1 + 2 + 3 ... until the rule is met after unit s; units
//            beyond s that were already running are discarded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "link/link_counts.h"

namespace tpcsim {

using tpc::link::FailedBlock;
using tpc::link::LinkCounts;

// Seed of unit `unit` of point `point`: splitmix64 mixing of all three, so
// neighbouring units and points get unrelated streams.
uint64_t UnitSeed(uint64_t seed, uint64_t point, uint64_t unit);

struct StopRule {
    int64_t blockErrors = 100;  // end the point when this many blocks are in error
    int64_t maxBlocks = 0;      // ... or when this many blocks are run (0: no limit)
};

// Blocks in unit `unit` with `batch` blocks per unit: the last unit before
// maxBlocks is shortened so that a point never runs more than maxBlocks.
int64_t UnitBlocks(int64_t unit, int64_t batch, int64_t maxBlocks);

// True when the counts summed so far end the point.
bool PointDone(const LinkCounts& counts, const StopRule& rule);

// Runs one unit: `blocks` blocks seeded by `seed`. One runner per worker
// thread; a runner is used by its own worker only.
class UnitRunner {
public:
    virtual ~UnitRunner() = default;
    virtual LinkCounts run(int64_t blocks, uint64_t seed) = 0;
    // Each run keeps its first `count` blocks in error (failures()); an
    // engine that does not see single blocks refuses.
    virtual void keepFailures(int32_t count) {
        if (count > 0) throw std::runtime_error("this engine does not keep failing blocks");
    }
    virtual const std::vector<FailedBlock>& failures() const {
        static const std::vector<FailedBlock> none;
        return none;
    }
};
// Makes the runner of worker `worker` for the current point; may throw.
using RunnerFactory = std::function<std::unique_ptr<UnitRunner>(int worker)>;

struct PointProgress {
    LinkCounts counts;      // summed in unit order so far
    double seconds = 0;     // since the point started
};
// Called from the thread that runs the point, about every `interval` seconds.
using ProgressFn = std::function<void(const PointProgress&)>;

// A failing block kept for replay: the unit and the block in it (the
// point's key and the run's seed give the unit's seed).
struct KeptFailure {
    int64_t unit = 0;
    FailedBlock block{};
};

struct PointResult {
    LinkCounts counts;
    // The first job.keepFailures failing blocks of the summed units, in
    // (unit, block) order: the same on any number of threads.
    std::vector<KeptFailure> failures{};
    int64_t units = 0;           // units summed, job.firstUnit's included
    double seconds = 0;          // wall time of the point
    bool interrupted = false;    // `stop` was raised before the rule was met
    bool timeLimited = false;    // ended by job.maxSeconds before the rule was met
};

struct PointJob {
    uint64_t seed = 1;
    uint64_t point = 0;   // key of the point (its value, sim/result_store.h)
    int64_t batch = 16;   // blocks per unit
    StopRule rule;
    int threads = 1;
    // Time limit of the point, seconds (0: none): no unit starts after it,
    // the units already running are summed, and the point ends there.
    double maxSeconds = 0;
    // Continues a point that summed units 0 .. firstUnit-1 into
    // `startCounts` (a resumed point under a raised rule or time limit):
    // the same units with the same seeds as a run from unit 0.
    int64_t firstUnit = 0;
    LinkCounts startCounts{};
    int32_t keepFailures = 0;  // failing blocks to keep (PointResult::failures)
};

// The time a point may take (0: no limit): its own limit, and what is left
// of the sweep's after `elapsed` seconds (at least a millisecond, so that a
// point that starts still runs a unit).
double PointTimeLimit(double perPoint, double sweepLimit, double elapsed);

// Runs one point with `job.threads` workers. `stop` (may be null) is polled
// between units: once set, no new unit starts and the result is marked
// interrupted. Throws the first exception a runner threw.
PointResult RunPoint(const PointJob& job, const RunnerFactory& makeRunner,
                     const std::atomic<bool>* stop, const ProgressFn& progress,
                     double progressInterval = 0.5);

}  // namespace tpcsim
