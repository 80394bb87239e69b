// tpcsim: sweeps the error rate of a turbo product code link built from the
// library's real nodes. See docs/tpcsim.md for the options and outputs.
#include <unistd.h>

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
#include "sim/options.h"
#include "sim/plot_command.h"
#include "sim/progress.h"
#include "sim/rank_group.h"
#include "sim/references.h"
#include "sim/results.h"
#ifdef TPCSIM_MPI
#include "sim/mpi/mpi_rank_group.h"
#endif

namespace {

using namespace tpcsim;

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

constexpr int kExitBadOptions = 2;
constexpr int kExitFailure = 1;
constexpr int kExitInterrupted = 130;

// What every point of a sweep shares.
struct Sweep {
    const SimOptions& options;
    RankGroup& group;
    const devhost::Library& library;
    devhost::LinkConfig defaults;  // the library's blocks, under the options
    std::vector<double> points;    // Eb/N0, dB
    RunRecord run;
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

void StartRecord(Sweep& s, const std::string& libraryPath) {
    s.run.options = s.options;
    s.run.libraryPath = libraryPath;
    s.run.ranks = s.group.size();
    s.run.geometry = GeometryOfOptions(s.options);
    if (!s.leader) return;
    if (!s.options.constellation.empty()) {
        const ConstellationCheck check = CheckConstellationFile(s.options.constellation, s.options.points);
        for (const std::string& warning : check.warnings) std::fprintf(stderr, "tpcsim: warning: %s\n", warning.c_str());
    }
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
    std::signal(SIGINT, OnInterrupt);
    if (distributed) {
        // mpirun forwards SIGUSR1 to every rank: the way to stop a distributed
        // sweep and keep its files. Its Ctrl-C sends SIGTERM, then kills the
        // ranks a second later; a short round may still end in time.
        std::signal(SIGUSR1, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
    }
}

PointResult RunPointAt(const Sweep& s, size_t i) {
    const double ebN0 = s.points[i];
    const devhost::LinkConfig config = MakeLinkConfig(s.options, s.defaults, ebN0);
    const StopRule rule{s.options.errors, s.options.maxBlocks};
    const PointJob job{s.options.seed, i, s.options.batch, rule, s.rankThreads};
    auto makeRunner = [&](int) { return MakeRunner(s.options, s.library, config); };
    ProgressFn progress;
    if (s.showProgress) {
        progress = [&](const PointProgress& p) {
            std::fprintf(stderr, "\r\033[K%s",
                         ProgressLine(static_cast<int>(i) + 1, static_cast<int>(s.points.size()), ebN0, p,
                                      rule, s.run.geometry.infoBits)
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

PointRecord RecordOf(double ebN0, const PointResult& result, const devhost::LinkGeometry& g,
                     bool passesCounted) {
    PointRecord record;
    record.passesCounted = passesCounted;
    record.ebN0Db = ebN0;
    record.esN0Db = devhost::EsN0DbFromEbN0Db(ebN0, g.codeRate(), g.bitsPerSymbol);
    record.counts = result.counts;
    record.seconds = result.seconds;
    return record;
}

// Runs point i and records it; false when the sweep ends with it.
bool SweepPoint(Sweep& s, size_t i) {
    const PointResult result = RunPointAt(s, i);
    if (result.interrupted) {
        s.run.interrupted = true;
        if (s.leader) {
            std::fprintf(stderr, "tpcsim: interrupted; the point at %.2f dB is dropped\n", s.points[i]);
        }
        return false;
    }
    s.run.points.push_back(
        RecordOf(s.points[i], result, s.run.geometry, s.options.engine == "blocks"));
    const PointRecord& record = s.run.points.back();
    if (s.leader) {
        std::printf("%s", TableRow(record).c_str());
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

int WriteRunOutputs(const RunRecord& run) {
    const SimOptions& o = run.options;
    try {
        const std::string note = WriteOutputs(o.out, run);
        if (!note.empty()) std::fprintf(stderr, "tpcsim: %s\n", note.c_str());
        if (!o.quiet) {
            std::fprintf(stderr, "tpcsim: wrote %s/results.csv, results.json%s (%.1f s)\n", o.out.c_str(),
                         note.empty() ? ", ber.png, ber.svg" : "", run.seconds);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: %s\n", e.what());
        return kExitFailure;
    }
}

// Every rank runs the whole sweep loop on the same gathered counts, so all
// take the same decisions (stop rules, --min-ber, interruption); only rank 0
// prints the table, shows progress and writes files. Messages that would be
// the same on every rank come from rank 0; a rank's own failure from it.
int Run(const SimOptions& options, RankGroup& group) {
    const auto started = std::chrono::steady_clock::now();
    const std::string libraryPath = devhost::DefaultLibraryPath();
    const std::unique_ptr<devhost::Library> library = LoadLibrary(libraryPath);
    if (!AllRanksAgree(group, library != nullptr)) return kExitFailure;
    Sweep s{options, group, *library, devhost::DefaultLinkConfig(*library), SweepEbN0(options), {}};
    s.leader = group.rank() == 0;
    s.distributed = group.size() > 1;
    s.showProgress = s.leader && !options.quiet && isatty(STDERR_FILENO);
    if (!AllRanksAgree(group, FirstLinkBuilds(s))) return kExitBadOptions;
    StartRecord(s, libraryPath);
    PlanThreads(s);
    if (s.leader) PrintHeader(s.run);
    CatchStopSignals(s.distributed);
    int status = SweepAllPoints(s);
    s.run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (s.leader && !options.out.empty() && WriteRunOutputs(s.run) != 0) status = kExitFailure;
    return s.run.interrupted ? kExitInterrupted : status;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "plot") {
        return tpcsim::RunPlotCommand(std::vector<std::string>(argv + 2, argv + argc));
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
    const std::string problem = tpcsim::ValidateOptions(parsed.options);
    if (!problem.empty()) {
        if (leader) std::fprintf(stderr, "tpcsim: %s\n", problem.c_str());
        return kExitBadOptions;
    }
    return Run(parsed.options, group);
}
