// The one sweep behind tpcsim's command line and tpc.simulate: the points
// prepared once, resumed points kept, each point run on the worker threads
// (and ranks), the stop rules and time limits applied, the result files saved
// after every point. What differs between the front ends (the table and the
// progress line on a terminal, Python's callbacks, signals, MPI) comes in
// through SweepHooks.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/link_description.h"
#include "sim/options.h"
#include "sim/rank_group.h"
#include "sim/results.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

// Exit codes of a sweep that ends early.
inline constexpr int kExitFailure = 1;     // the run failed (a file, a runner)
inline constexpr int kExitBadOptions = 2;  // refused before the first block

// A refusal or failure of the sweep, with the exit code tpcsim gives it.
// `what()` is empty on the ranks that only follow another rank's failure.
class SweepFailure : public std::runtime_error {
public:
    SweepFailure(int exitCode, const std::string& message) : std::runtime_error(message), exitCode_(exitCode) {}
    int exitCode() const { return exitCode_; }

private:
    int exitCode_;
};

// One sweep point at one pass count (a row), prepared once. The rows of a
// point share its key, so every count decodes the same blocks and noise.
struct SweepPoint {
    double swept = 0;       // as given: Eb/N0 or Es/N0, dB
    double ebN0Db = 0;
    int32_t iterations = 0; // the decoder's maximum axis passes
    uint64_t key = 0;       // PointKey of the swept value: the seeds of its units
    int64_t keptFrom = -1;  // its index among the resumed points, or -1: to run
    // Its index among the resumed points whose units it continues, or -1:
    // run from unit 0.
    int64_t continuedFrom = -1;
};

// Progress of the running point.
struct SweepProgress {
    int point = 0, pointCount = 0;  // 1-based, rows: a point at each pass count
    double ebN0Db = 0;
    int32_t iterations = 0;  // the row's maximum passes
    PointProgress progress;
    StopRule rule;
    int64_t infoBits = 0;
    double pointSecondsLeft = -1, sweepSecondsLeft = -1;  // negative: unknown
};

struct SweepHooks {
    // A worker's link for one point; the block engine when empty.
    std::function<std::unique_ptr<UnitRunner>(const tpc::link::LinkDescription&)> makeRunner;
    // Polled between work units: once set, the sweep ends after the running
    // unit, its point dropped.
    const std::atomic<bool>* stop = nullptr;
    // About every `progressInterval` seconds while a point runs.
    std::function<void(const SweepProgress&)> progress;
    double progressInterval = 0.5;
    // Each row as it is settled, run now or kept from --resume.
    std::function<void(const PointRecord&, bool kept)> row;
    // A note for the user: a warning, why the sweep ended.
    std::function<void(const std::string&)> note;
    // Ranks of a distributed sweep; one process when null.
    RankGroup* group = nullptr;
};

class Sweep {
public:
    // Checks all that can be checked before the first block: the resumed
    // directory, the first link (a node that refuses it says so here), the
    // output directory. Throws SweepFailure (kExitBadOptions). Collective
    // over the hooks' ranks.
    Sweep(const SimOptions& options, SweepHooks hooks, std::string libraryPath = "");

    // The run as it stands: geometry, references, threads; the points
    // finished so far, resumed ones included, in Eb/N0 order.
    RunRecord record() const;
    const std::vector<SweepPoint>& points() const { return points_; }
    bool leader() const { return group_->rank() == 0; }

    // Runs the points until the sweep ends (its points, a stop rule, a time
    // limit, the stop flag); the files are saved after every point and the
    // plot at the end. Throws SweepFailure (kExitFailure) when a runner or
    // a file fails; the files of the finished points stay.
    void run();
    bool interrupted() const { return run_.interrupted; }

private:
    // What follows a row: the next, the end of its pass count's sweep (its
    // stop rules), or the end of the whole sweep (time, stop flag).
    enum class Next { kGoOn, kCountEnds, kSweepEnds };
    Next runPoint(size_t i);
    bool laterRowOfCount(size_t i) const;
    bool countEnded(int32_t iterations) const;
    PointResult runUnits(size_t i);
    double secondsSinceStart() const;
    double sweepSecondsLeft(size_t i, const PointProgress& p, double pointLeft) const;
    void loadResumed();
    void saveTables() const;
    void writePlot() const;
    void note(const std::string& text) const;
    // Collective: throws SweepFailure with `problem` on every rank when it
    // is not empty on any.
    void agree(const std::string& problem, int exitCode) const;

    const SimOptions options_;
    SweepHooks hooks_;
    SingleRank single_;
    RankGroup* group_;
    std::vector<SweepPoint> points_;
    std::vector<PointRecord> stored_;  // read from --resume
    RunRecord run_;                    // the points run now
    std::chrono::steady_clock::time_point started_;
    int pointsRun_ = 0;
    double secondsRun_ = 0;
    int rankThreads_ = 1;
    std::vector<int32_t> endedCounts_;  // pass counts whose rows have ended
    int64_t unitsPerRank_ = 0;
};

// Resuming writes into the resumed directory: `out` becomes `resume` when
// not given; the problem when it is another directory, or "".
std::string SettleOutput(SimOptions& options);

// The number of worker threads `threads` asks for: all cores for 0.
int WorkerThreads(int threads);

}  // namespace tpcsim
