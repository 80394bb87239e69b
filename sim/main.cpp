// tpcsim: sweeps the error rate of a turbo product code link built from the
// library's real nodes. See docs/tpcsim.md for the options and outputs.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <stdexcept>
#include <thread>

#include "devhost/library.h"
#include "devhost/link.h"
#include "sim/constellation_check.h"
#include "sim/distributed_sweep.h"
#include "sim/link_setup.h"
#include "sim/merge_command.h"
#include "sim/option_table.h"
#include "sim/options.h"
#include "sim/plot_command.h"
#include "sim/progress.h"
#include "sim/rank_group.h"
#include "sim/references.h"
#include "sim/result_store.h"
#include "sim/results.h"
#ifdef TPCSIM_MPI
#include "sim/mpi/mpi_rank_group.h"
#endif

namespace {

using namespace tpcsim;

std::atomic<bool> gInterrupted{false};
volatile std::sig_atomic_t gSignal = 0;

// The first signal stops the sweep after the running work unit; a second
// one exits at once. The files of finished points are already on disk.
extern "C" void OnStopSignal(int signal) {
    if (gSignal != 0) _exit(128 + signal);
    gSignal = signal;
    gInterrupted.store(true);
    static const char kSaying[] =
        "\ntpcsim: stopping after the running work unit (signal again to exit at once)\n";
    const ssize_t written = write(STDERR_FILENO, kSaying, sizeof kSaying - 1);
    (void)written;
}

constexpr int kExitBadOptions = 2;
constexpr int kExitFailure = 1;

// What every point of a sweep shares.
struct Sweep {
    const SimOptions& options;
    RankGroup& group;
    const devhost::Library& library;
    devhost::LinkConfig defaults;  // the library's blocks, under the options
    std::vector<double> points;    // Eb/N0, dB
    RunRecord run;
    std::vector<double> swept;                 // the points as given: Eb/N0 or Es/N0, dB
    std::vector<PointRecord> storedPoints;     // read from --resume
    std::vector<int64_t> keptFrom;             // per point: its index in storedPoints, or -1
    std::chrono::steady_clock::time_point started;
    int pointsRun = 0;
    double secondsRun = 0;
    int rankThreads = 1;
    int64_t unitsPerRank = 0;
    bool leader = true, distributed = false, showProgress = false;
};

std::unique_ptr<devhost::Library> LoadLibrary(const std::string& path) {
    try {
        return std::make_unique<devhost::Library>(path);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: cannot load the library %s: %s\n", path.c_str(), e.what());
        return nullptr;
    }
}

// One link up front: a node that refuses its parameters says so here, once.
bool FirstLinkBuilds(const Sweep& s) {
    try {
        MakeRunner(s.options, s.library, MakeLinkConfig(s.options, s.defaults, s.points.front()));
        return true;
    } catch (const std::exception& e) {
        if (s.leader) std::fprintf(stderr, "tpcsim: %s\n", e.what());
        return false;
    }
}

// Threads of this rank: all cores by default, shared by the ranks on them.
void PlanThreads(Sweep& s) {
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    s.rankThreads = s.options.threads > 0 ? s.options.threads
                                          : std::max(1, cores / s.group.ranksOnThisHost());
    s.run.threads = static_cast<int>(SumOverRanks(s.group, s.rankThreads));
    s.unitsPerRank = UnitsPerRankPerRound(static_cast<int>(MaxOverRanks(s.group, s.rankThreads)));
}

// What is odd about the constellation file, said before the first link so
// that it explains a link the nodes refuse.
void WarnAboutConstellation(const Sweep& s) {
    if (!s.leader || s.options.constellation.empty()) return;
    const ConstellationCheck check = CheckConstellationFile(s.options.constellation, s.options.points);
    for (const std::string& warning : check.warnings) std::fprintf(stderr, "tpcsim: warning: %s\n", warning.c_str());
}

void StartRecord(Sweep& s, const std::string& libraryPath) {
    s.run.options = s.options;
    s.run.libraryPath = libraryPath;
    s.run.ranks = s.group.size();
    s.run.geometry = GeometryOfOptions(s.options);
    if (!s.leader) return;
    s.run.capacityLimitDb = LimitEbN0Db(s.options, s.run.geometry.codeRate());
    s.run.uncoded = UncodedCurve(s.options, s.run.capacityLimitDb, s.points);
}

void PrintHeader(const RunRecord& run) {
    std::string workers = std::to_string(run.threads) + " thread(s)";
    if (run.ranks > 1) workers = std::to_string(run.ranks) + " ranks, " + workers + " in all";
    std::printf("# tpcsim %s: K = %lld, N = %lld, rate %.4f, %d bit(s) per symbol, %s, seed %llu\n",
                TPCSIM_VERSION, static_cast<long long>(run.geometry.infoBits),
                static_cast<long long>(run.geometry.codeBits), run.geometry.codeRate(),
                run.geometry.bitsPerSymbol, workers.c_str(),
                static_cast<unsigned long long>(run.options.seed));
    std::printf("# %s: Eb/N0 = %.3f dB; BER interval: 95%%, blocks as trials\n",
                LimitName(run.options, run.geometry.codeRate(), run.geometry.bitsPerSymbol).c_str(),
                run.capacityLimitDb);
    std::printf("%s", TableHeader().c_str());
    std::fflush(stdout);
}

void CatchStopSignals(bool distributed) {
    // A closed standard output (tpcsim | head) must not end the run: the
    // rows are lost, the files are not.
    std::signal(SIGPIPE, SIG_IGN);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, OnStopSignal);
    // mpirun forwards SIGUSR1 to every rank: the way to stop a distributed
    // sweep and keep its files. Its Ctrl-C sends SIGTERM, then kills the
    // ranks a second later; a short round may still end in time.
    if (distributed) std::signal(SIGUSR1, OnStopSignal);
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds the rest of the sweep may take: this point's estimate, and the
// points still to run at the mean of those run so far (or of this one).
double SweepSecondsLeft(const Sweep& s, size_t i, const PointProgress& p, double pointLeft) {
    if (pointLeft < 0) return -1;
    const double perPoint = s.pointsRun > 0 ? s.secondsRun / s.pointsRun : p.seconds + pointLeft;
    double left = pointLeft;
    for (size_t j = i + 1; j < s.points.size(); ++j) {
        if (s.keptFrom[j] < 0) left += perPoint;
    }
    if (s.options.maxTime > 0) left = std::min(left, std::max(0.0, s.options.maxTime - SecondsSince(s.started)));
    return left;
}

PointResult RunPointAt(const Sweep& s, size_t i) {
    const double ebN0 = s.points[i];
    const devhost::LinkConfig config = MakeLinkConfig(s.options, s.defaults, ebN0);
    const StopRule rule{s.options.errors, s.options.maxBlocks};
    const PointJob job{s.options.seed, PointKey(s.swept[i]), s.options.batch, rule, s.rankThreads,
                       PointTimeLimit(s.options.maxTimePerPoint, s.options.maxTime, SecondsSince(s.started))};
    auto makeRunner = [&](int) { return MakeRunner(s.options, s.library, config); };
    ProgressFn progress;
    if (s.showProgress) {
        progress = [&](const PointProgress& p) {
            double pointLeft = PointSecondsLeft(p, rule);
            if (job.maxSeconds > 0 && pointLeft >= 0) pointLeft = std::min(pointLeft, job.maxSeconds - p.seconds);
            std::fprintf(stderr, "\r\033[K%s",
                         ProgressLine(static_cast<int>(i) + 1, static_cast<int>(s.points.size()), ebN0, p,
                                      rule, s.run.geometry.infoBits, pointLeft,
                                      SweepSecondsLeft(s, i, p, pointLeft))
                             .c_str());
            std::fflush(stderr);
        };
    }
    const PointResult result =
        s.distributed ? RunPointAcrossRanks(job, s.unitsPerRank, s.group, makeRunner, &gInterrupted, progress)
                      : RunPoint(job, makeRunner, &gInterrupted, progress);
    if (s.showProgress) std::fprintf(stderr, "\r\033[K");
    return result;
}

// The files as they stand after a point (rank 0 only). A failure to write
// ends the sweep: a run whose results cannot be kept is not worth going on.
void SaveTables(Sweep& s) {
    if (!s.leader || s.options.out.empty()) return;
    RunRecord record = s.run;
    record.points = MergePoints({s.storedPoints, s.run.points}, s.options.sweepIsEsN0);
    record.seconds = SecondsSince(s.started);
    WriteTables(s.options.out, record);
}

// The row of point i: run now, or kept from the resumed directory.
bool PointRow(Sweep& s, size_t i, PointRecord& record) {
    if (s.keptFrom[i] >= 0) {
        record = s.storedPoints[static_cast<size_t>(s.keptFrom[i])];
        return true;
    }
    const PointResult result = RunPointAt(s, i);
    if (result.interrupted) {
        s.run.interrupted = true;
        if (s.leader) {
            std::fprintf(stderr, "tpcsim: interrupted; the point at %.2f dB is dropped\n", s.points[i]);
        }
        return false;
    }
    ++s.pointsRun;
    s.secondsRun += result.seconds;
    record = RecordOf(s.points[i], result, s.run.geometry, s.options.engine == "blocks");
    s.run.points.push_back(record);
    SaveTables(s);
    return true;
}

// Runs point i and records it; false when the sweep ends with it.
bool SweepPoint(Sweep& s, size_t i) {
    if (s.options.maxTime > 0 && SecondsSince(s.started) >= s.options.maxTime && s.keptFrom[i] < 0) {
        if (s.leader) std::fprintf(stderr, "tpcsim: --max-time reached: the sweep ends here\n");
        return false;
    }
    PointRecord record;
    if (!PointRow(s, i, record)) return false;
    if (s.leader) {
        std::string row = TableRow(record);
        if (s.keptFrom[i] >= 0) row.insert(row.size() - 1, "  (kept)");
        if (record.timeLimited) row.insert(row.size() - 1, "  (time limit)");
        std::printf("%s", row.c_str());
        std::fflush(stdout);
    }
    // Only a BER known to be below the threshold ends the sweep: the upper
    // end of its interval, which a point without errors has too.
    if (s.options.minBer > 0 && record.berInterval().high < s.options.minBer) {
        if (s.leader && i + 1 < s.points.size() && !s.options.quiet) {
            std::fprintf(stderr, "tpcsim: BER upper bound below --min-ber %.1e: the sweep ends here\n",
                         s.options.minBer);
        }
        return false;
    }
    return true;
}

int SweepAllPoints(Sweep& s) {
    try {
        for (size_t i = 0; i < s.points.size(); ++i) {
            if (!SweepPoint(s, i)) break;
        }
        return 0;
    } catch (const PeerRankFailed& e) {
        if (s.leader) std::fprintf(stderr, "tpcsim: %s\n", e.what());
    } catch (const std::exception& e) {
        if (s.distributed) {
            std::fprintf(stderr, "tpcsim: rank %d: %s\n", s.group.rank(), e.what());
        } else {
            std::fprintf(stderr, "tpcsim: %s\n", e.what());
        }
    }
    return kExitFailure;
}

// The plot, at the end of the sweep or after it was stopped.
int WritePlotAtEnd(Sweep& s) {
    const SimOptions& o = s.options;
    try {
        SaveTables(s);
        RunRecord record = s.run;
        record.points = MergePoints({s.storedPoints, s.run.points}, o.sweepIsEsN0);
        const std::string note = WritePlot(o.out, record);
        if (!note.empty()) std::fprintf(stderr, "tpcsim: %s\n", note.c_str());
        if (!o.quiet) {
            std::fprintf(stderr, "tpcsim: wrote %s/results.csv, results.json%s (%.1f s)\n", o.out.c_str(),
                         note.empty() ? ", ber.png, ber.svg" : "", SecondsSince(s.started));
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: %s\n", e.what());
        return kExitFailure;
    }
}

// --resume DIR: its points of this configuration are kept. False (with the
// reason said) when DIR cannot be continued with these options.
bool LoadResumedRun(Sweep& s) {
    s.keptFrom.assign(s.points.size(), -1);
    if (s.options.resume.empty()) return true;
    try {
        StoredRun stored = ReadStoredRun(s.options.resume);
        const std::string difference = ConfigurationDifference(ConfigurationJson(s.options), stored.configuration);
        if (!difference.empty()) {
            if (s.leader) {
                std::fprintf(stderr, "tpcsim: --resume %s holds a run of another configuration (%s)\n",
                             s.options.resume.c_str(), difference.c_str());
            }
            return false;
        }
        s.storedPoints = std::move(stored.points);
    } catch (const std::exception& e) {
        if (s.leader) std::fprintf(stderr, "tpcsim: --resume: %s\n", e.what());
        return false;
    }
    for (size_t i = 0; i < s.points.size(); ++i) {
        for (size_t j = 0; j < s.storedPoints.size(); ++j) {
            const PointRecord& p = s.storedPoints[j];
            // A point cut short by a time limit is run again.
            if (!p.timeLimited && PointKey(SweptValue(p, s.options.sweepIsEsN0)) == PointKey(s.swept[i])) {
                s.keptFrom[i] = static_cast<int64_t>(j);
            }
        }
    }
    return true;
}

// The output directory, made and proven writable before the first block.
bool PrepareOutput(const Sweep& s) {
    if (!s.leader || s.options.out.empty()) return true;
    try {
        PrepareOutputDirectory(s.options.out, !s.options.resume.empty());
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: --out: %s\n", e.what());
        return false;
    }
}

int InterruptedExitCode() { return 128 + (gSignal != 0 ? static_cast<int>(gSignal) : SIGINT); }

// Every rank runs the whole sweep loop on the same gathered counts, so all
// take the same decisions (stop rules, --min-ber, interruption); only rank 0
// prints the table, shows progress and writes files. Messages that would be
// the same on every rank come from rank 0; a rank's own failure from it.
int Run(const SimOptions& options, RankGroup& group) {
    const std::string libraryPath = devhost::DefaultLibraryPath();
    const std::unique_ptr<devhost::Library> library = LoadLibrary(libraryPath);
    if (!AllRanksAgree(group, library != nullptr)) return kExitFailure;
    Sweep s{options, group, *library, devhost::DefaultLinkConfig(*library), SweepEbN0(options), {}, {}, {}, {}, {}};
    s.swept = ParseSweep(options.sweep);
    s.started = std::chrono::steady_clock::now();
    s.leader = group.rank() == 0;
    s.distributed = group.size() > 1;
    s.showProgress = s.leader && !options.quiet && isatty(STDERR_FILENO);
    if (!AllRanksAgree(group, LoadResumedRun(s))) return kExitBadOptions;
    WarnAboutConstellation(s);
    if (!AllRanksAgree(group, FirstLinkBuilds(s))) return kExitBadOptions;
    if (!AllRanksAgree(group, PrepareOutput(s))) return kExitBadOptions;
    StartRecord(s, libraryPath);
    PlanThreads(s);
    if (s.leader) PrintHeader(s.run);
    CatchStopSignals(s.distributed);
    int status = SweepAllPoints(s);
    s.run.seconds = SecondsSince(s.started);
    if (s.leader && !options.out.empty() && WritePlotAtEnd(s) != 0) status = kExitFailure;
    return s.run.interrupted ? InterruptedExitCode() : status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "plot") {
        return tpcsim::RunPlotCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (argc > 1 && std::string(argv[1]) == "merge") {
        return tpcsim::RunMergeCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
#ifdef TPCSIM_MPI
    tpcsim::MpiRankGroup group(&argc, &argv);
#else
    tpcsim::SingleRank group;
#endif
    // Every rank parses the same command line and config file, so all agree.
    const bool leader = group.rank() == 0;
    const tpcsim::ParseOutcome parsed =
        tpcsim::ParseOptions(std::vector<std::string>(argv, argv + argc));
    if (parsed.exitCode >= 0) {
        if (leader) std::fputs(parsed.message.c_str(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    tpcsim::SimOptions options = parsed.options;
    // Resuming writes into the resumed directory.
    if (!options.resume.empty() && options.out.empty()) options.out = options.resume;
    std::string problem = tpcsim::ValidateOptions(options);
    if (problem.empty() && !options.resume.empty() && options.out != options.resume) {
        problem = "--resume writes into the directory it continues: leave out --out";
    }
    if (!problem.empty()) {
        if (leader) std::fprintf(stderr, "tpcsim: %s\n", problem.c_str());
        return kExitBadOptions;
    }
    return Run(options, group);
}
