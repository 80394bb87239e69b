#include "sim/sweep.h"

#include <algorithm>
#include <thread>

#include "sim/constellation_check.h"
#include "sim/distributed_sweep.h"
#include "sim/kept_failures.h"
#include "sim/link_setup.h"
#include "sim/option_checks.h"
#include "sim/option_table.h"
#include "sim/plot_script.h"
#include "sim/progress.h"
#include "sim/references.h"
#include "sim/result_store.h"
#include "sim/text_format.h"

namespace tpcsim {

std::string SettleOutput(SimOptions& options) {
    if (!options.resume.empty() && options.out.empty()) options.out = options.resume;
    if (!options.resume.empty() && options.out != options.resume) {
        return "--resume writes into the directory it continues: leave out --out";
    }
    return "";
}

namespace {

// Why the sweep ends after a point, or "" when it goes on. A point of
// --max-blocks blocks without an error ends it: the points above would
// count nothing either. Only a rate known
// to be below its threshold ends it: the upper end of its interval, which a
// point without errors has too.
std::string WhySweepEnds(const SimOptions& options, const PointRecord& record) {
    const LinkCounts& counts = record.counts;
    if (!options.noZeroStop && counts.blockErrors == 0 && counts.blocks >= options.maxBlocks) {
        return Format("no block error in %lld blocks: the sweep ends here (--no-zero-stop to go on)",
                      static_cast<long long>(counts.blocks));
    }
    if (options.minBer > 0 && record.berInterval().high < options.minBer) {
        return Format("BER upper bound below --min-ber %.1e: the sweep ends here", options.minBer);
    }
    if (options.minFer > 0 && record.ferInterval().high < options.minFer) {
        return Format("FER upper bound below --min-fer %.1e: the sweep ends here", options.minFer);
    }
    return "";
}

}  // namespace

int WorkerThreads(int threads) {
    return threads > 0 ? threads : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

Sweep::Sweep(const SimOptions& options, SweepHooks hooks, std::string libraryPath)
    : options_(options), hooks_(std::move(hooks)), group_(hooks_.group ? hooks_.group : &single_) {
    started_ = std::chrono::steady_clock::now();
    if (!hooks_.makeRunner) {
        hooks_.makeRunner = [](const tpc::link::LinkDescription& description) { return std::make_unique<BlockRunner>(description); };
    }
    const std::vector<double> swept = ParseSweep(options_.sweep);
    const std::vector<double> ebN0 = SweepEbN0(options_);
    for (size_t i = 0; i < swept.size(); ++i) {
        for (int32_t passes : options_.iterations) points_.push_back({swept[i], ebN0[i], passes, PointKey(swept[i])});
    }

    loadResumed();
    // What is odd about the constellation file, said before the first link
    // so that it explains a link the nodes refuse.
    if (leader() && !options_.constellation.empty()) {
        for (const std::string& warning : CheckConstellationFile(options_.constellation, options_.points).warnings) {
            note("warning: " + warning);
        }
    }
    std::string problem;
    try {
        for (int32_t passes : options_.iterations) {
            hooks_.makeRunner(MakeLinkDescription(options_, points_.front().ebN0Db, passes));
        }
    } catch (const std::exception& e) {
        problem = e.what();
    }
    agree(problem, kExitBadOptions);
    if (options_.keepFailures > 0 && group_->size() > 1) {
        problem = "--keep-failures runs in one process: leave out mpirun";
    }
    agree(problem, kExitBadOptions);
    if (leader() && !options_.out.empty()) {
        try {
            PrepareOutputDirectory(options_.out, !options_.resume.empty());
        } catch (const std::exception& e) {
            problem = std::string("--out: ") + e.what();
        }
    }
    agree(problem, kExitBadOptions);

    run_.options = options_;
    run_.libraryPath = std::move(libraryPath);
    run_.ranks = group_->size();
    run_.geometry = GeometryOfOptions(options_);
    if (leader()) {
        std::vector<double> ebN0Points;
        for (const SweepPoint& p : points_) ebN0Points.push_back(p.ebN0Db);
        AddReferences(run_, ebN0Points);
    }
    // Threads of this rank: all cores by default, shared by the ranks on them.
    const int cores = WorkerThreads(0);
    rankThreads_ = options_.threads > 0 ? options_.threads : std::max(1, cores / group_->ranksOnThisHost());
    run_.threads = static_cast<int>(SumOverRanks(*group_, rankThreads_));
    unitsPerRank_ = UnitsPerRankPerRound(static_cast<int>(MaxOverRanks(*group_, rankThreads_)));
}

void Sweep::agree(const std::string& problem, int exitCode) const {
    if (!AllRanksAgree(*group_, problem.empty())) throw SweepFailure(exitCode, leader() ? problem : "");
}

void Sweep::note(const std::string& text) const {
    if (hooks_.note) hooks_.note(text);
}

// --resume DIR: its points of this configuration are kept, or continued
// where the stop rule or time limits now ask for more.
void Sweep::loadResumed() {
    std::string problem;
    if (!options_.resume.empty()) {
        try {
            StoredRun stored = ReadStoredRun(options_.resume);
            // The stop rule may change: a point continues from the units it
            // summed, which the seed and the batch size define.
            const std::string difference = ConfigurationDifference(ConfigurationJson(options_), stored.configuration,
                                                                    {"errors", "max-blocks"});
            if (stored.seeds.size() > 1) {
                problem = "--resume " + options_.resume + " holds runs of several seeds pooled by merge (" +
                          SeedList(stored.seeds) + "): its points are not one seed's units; resume one of the runs";
            } else if (difference.empty()) {
                stored_ = std::move(stored.points);
            } else {
                problem = "--resume " + options_.resume + " holds a run of another configuration (" + difference + ")";
            }
        } catch (const std::exception& e) {
            problem = std::string("--resume: ") + e.what();
        }
    }
    agree(problem, kExitBadOptions);
    const StopRule rule{options_.errors, options_.maxBlocks};
    for (SweepPoint& point : points_) {
        for (size_t j = 0; j < stored_.size(); ++j) {
            const PointRecord& p = stored_[j];
            const bool samePoint = PointKey(SweptValue(p, options_.sweepIsEsN0)) == point.key;
            if (!samePoint || p.iterations != point.iterations) continue;
            // A point that meets the rule is kept, even one that ran past a
            // lowered limit. Any other continues from its next unit, so that
            // its counts are those of a run under this rule from the start;
            // unless its last unit was shortened to an earlier block limit
            // (or its units are not known): that one runs again.
            // Units come from the file: a product past 64 bits matches no count.
            int64_t unitBlocks = 0;
            const bool unitsFit = !__builtin_mul_overflow(p.units, options_.batch, &unitBlocks);
            if (PointDone(p.counts, rule)) {
                point.keptFrom = static_cast<int64_t>(j);
            } else if (p.units > 0 && unitsFit && p.counts.blocks == unitBlocks) {
                point.continuedFrom = static_cast<int64_t>(j);
            } else if (leader() && !options_.quiet) {
                // Said, since it costs the point's earlier blocks once more.
                const std::string passes =
                    options_.iterations.size() > 1 ? Format("%d passes: ", point.iterations) : std::string();
                const std::string why =
                    p.units > 0 ? Format("its last work unit was cut at %lld blocks, not a multiple of --batch %lld",
                                         static_cast<long long>(p.counts.blocks), static_cast<long long>(options_.batch))
                                : std::string("its work units are not in ") + options_.resume;
                note(passes + Format("%.2f dB runs again from block 0: ", point.swept) + why);
            }
        }
    }
}

RunRecord Sweep::record() const {
    RunRecord record = run_;
    record.points = MergePoints({stored_, run_.points}, options_.sweepIsEsN0);
    record.seconds = secondsSinceStart();
    return record;
}

double Sweep::secondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

// Seconds the rest of the sweep may take: this point's estimate, and the
// points still to run at the mean of those run so far (or of this one).
double Sweep::sweepSecondsLeft(size_t i, const PointProgress& p, double pointLeft) const {
    if (pointLeft < 0) return -1;
    const double perPoint = pointsRun_ > 0 ? secondsRun_ / pointsRun_ : p.seconds + pointLeft;
    double left = pointLeft;
    for (size_t j = i + 1; j < points_.size(); ++j) {
        if (points_[j].keptFrom < 0 && !countEnded(points_[j].iterations)) left += perPoint;
    }
    if (options_.maxTime > 0) left = std::min(left, std::max(0.0, options_.maxTime - secondsSinceStart()));
    return left;
}

PointResult Sweep::runUnits(size_t i) {
    const SweepPoint& point = points_[i];
    const tpc::link::LinkDescription description = MakeLinkDescription(options_, point.ebN0Db, point.iterations);
    const StopRule rule{options_.errors, options_.maxBlocks};
    PointJob job{options_.seed, point.key, options_.batch, rule, rankThreads_,
                 PointTimeLimit(options_.maxTimePerPoint, options_.maxTime, secondsSinceStart())};
    if (point.continuedFrom >= 0) {
        const PointRecord& from = stored_[static_cast<size_t>(point.continuedFrom)];
        job.firstUnit = from.units;
        job.startCounts = from.counts;
    }
    job.keepFailures = options_.keepFailures;
    auto makeRunner = [&](int) { return hooks_.makeRunner(description); };
    ProgressFn progress;
    if (hooks_.progress && leader()) {
        progress = [&](const PointProgress& p) {
            SweepProgress shown{static_cast<int>(i) + 1, static_cast<int>(points_.size()), point.ebN0Db,
                                point.iterations, p, rule, run_.geometry.infoBits};
            shown.pointSecondsLeft = PointSecondsLeft(p, rule);
            if (job.maxSeconds > 0 && shown.pointSecondsLeft >= 0) {
                shown.pointSecondsLeft = std::min(shown.pointSecondsLeft, job.maxSeconds - p.seconds);
            }
            shown.sweepSecondsLeft = sweepSecondsLeft(i, p, shown.pointSecondsLeft);
            hooks_.progress(shown);
        };
    }
    if (group_->size() > 1) {
        return RunPointAcrossRanks(job, unitsPerRank_, *group_, makeRunner, hooks_.stop, progress,
                                   hooks_.progressInterval);
    }
    return RunPoint(job, makeRunner, hooks_.stop, progress, hooks_.progressInterval);
}

bool Sweep::countEnded(int32_t iterations) const {
    return std::find(endedCounts_.begin(), endedCounts_.end(), iterations) != endedCounts_.end();
}

bool Sweep::laterRowOfCount(size_t i) const {
    for (size_t j = i + 1; j < points_.size(); ++j) {
        if (points_[j].iterations == points_[i].iterations) return true;
    }
    return false;
}

// Runs row i (or keeps it) and records it.
Sweep::Next Sweep::runPoint(size_t i) {
    const SweepPoint& point = points_[i];
    if (options_.maxTime > 0 && secondsSinceStart() >= options_.maxTime && point.keptFrom < 0) {
        if (leader()) note("--max-time reached: the sweep ends here");
        return Next::kSweepEnds;
    }
    PointRecord record;
    if (point.keptFrom >= 0) {
        record = stored_[static_cast<size_t>(point.keptFrom)];
    } else {
        const PointResult result = runUnits(i);
        if (result.interrupted) {
            run_.interrupted = true;
            if (leader()) note(Format("interrupted; the point at %.2f dB is dropped", point.ebN0Db));
            return Next::kSweepEnds;
        }
        ++pointsRun_;
        secondsRun_ += result.seconds;
        record = RecordOf(point.ebN0Db, point.iterations, result, run_.geometry, options_.engine == "blocks");
        if (point.continuedFrom >= 0) {
            const PointRecord& from = stored_[static_cast<size_t>(point.continuedFrom)];
            record.seconds += from.seconds;
            // Passes are known only when every unit's engine counted them.
            record.passesCounted = record.passesCounted && from.passesCounted;
            record.failures = JoinFailures(from.failures, record.failures, options_.keepFailures);
        }
        run_.points.push_back(record);
        saveTables();
    }
    if (leader() && hooks_.row) hooks_.row(record, point.keptFrom >= 0);
    const std::string end = WhySweepEnds(options_, record);
    if (end.empty()) return Next::kGoOn;
    if (leader() && laterRowOfCount(i) && !options_.quiet) {
        note(options_.iterations.size() > 1 ? Format("%d passes: ", point.iterations) + end : end);
    }
    return Next::kCountEnds;
}

// The files as they stand after a point (rank 0 only). A failure to write
// ends the sweep: a run whose results cannot be kept is not worth going on.
void Sweep::saveTables() const {
    if (!leader() || options_.out.empty()) return;
    WriteTables(options_.out, record());
}

void Sweep::writePlot() const {
    if (!leader() || options_.out.empty()) return;
    const RunRecord finished = record();
    WriteTables(options_.out, finished);
    const std::string plotNote = WritePlot(options_.out, finished);
    if (!plotNote.empty()) note(plotNote);
    if (!options_.quiet) {
        const char* plots = options_.iterations.size() > 1 ? ", ber.png, ber.svg, passes.png, passes.svg"
                                                           : ", ber.png, ber.svg";
        note(Format("wrote %s/results.csv, results.json%s (%.1f s)", options_.out.c_str(),
                    plotNote.empty() ? plots : "", secondsSinceStart()));
    }
}

void Sweep::run() {
    std::string failure;
    try {
        // Each pass count's rows end on its own stop rules, as a run of that
        // count alone would; the sweep ends when every count has.
        for (size_t i = 0; i < points_.size() && endedCounts_.size() < options_.iterations.size(); ++i) {
            if (countEnded(points_[i].iterations)) continue;
            const Next next = runPoint(i);
            if (next == Next::kSweepEnds) break;
            if (next == Next::kCountEnds) endedCounts_.push_back(points_[i].iterations);
        }
    } catch (const PeerRankFailed& e) {
        failure = leader() ? e.what() : "";
    } catch (const std::exception& e) {
        failure = group_->size() > 1 ? Format("rank %d: %s", group_->rank(), e.what()) : e.what();
    }
    run_.seconds = secondsSinceStart();
    // The plot, at the end of the sweep or after it was stopped or failed.
    try {
        writePlot();
    } catch (const std::exception& e) {
        if (failure.empty()) failure = e.what();
    }
    if (!failure.empty()) throw SweepFailure(kExitFailure, failure);
}

}  // namespace tpcsim
