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
#include "sim/distributed_sweep.h"
#include "sim/link_setup.h"
#include "sim/options.h"
#include "sim/progress.h"
#include "sim/rank_group.h"
#include "sim/results.h"
#include "sim/units.h"
#ifdef TPCSIM_MPI
#include "sim/mpi/mpi_rank_group.h"
#endif

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

constexpr int kExitBadOptions = 2;
constexpr int kExitFailure = 1;
constexpr int kExitInterrupted = 130;

// Every rank runs the whole sweep loop on the same gathered counts, so all
// take the same decisions (stop rules, --min-ber, interruption); only rank 0
// prints the table, shows progress and writes files. Messages that would be
// the same on every rank come from rank 0; a rank's own failure from it.
int Run(const tpcsim::SimOptions& options, tpcsim::RankGroup& group) {
    using namespace tpcsim;
    const auto started = std::chrono::steady_clock::now();
    const bool leader = group.rank() == 0;
    const bool distributed = group.size() > 1;
    const std::string libraryPath = devhost::DefaultLibraryPath();
    std::unique_ptr<devhost::Library> library;
    try {
        library = std::make_unique<devhost::Library>(libraryPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: cannot load the library %s: %s\n", libraryPath.c_str(), e.what());
    }
    if (!AllRanksAgree(group, library != nullptr)) return kExitFailure;
    const devhost::LinkConfig defaults = devhost::DefaultLinkConfig(*library);
    const std::vector<double> points = SweepEbN0(options);

    // One link up front: a node that refuses its parameters says so here, once.
    bool linkBuilds = true;
    try {
        devhost::Link check(*library, MakeLinkConfig(options, defaults, points.front()));
    } catch (const std::exception& e) {
        if (leader) std::fprintf(stderr, "tpcsim: %s\n", e.what());
        linkBuilds = false;
    }
    if (!AllRanksAgree(group, linkBuilds)) return kExitBadOptions;

    // Threads of this rank: all cores by default, shared by the ranks on them.
    const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const int rankThreads = options.threads > 0 ? options.threads
                                                : std::max(1, cores / group.ranksOnThisHost());
    RunRecord run;
    run.options = options;
    run.libraryPath = libraryPath;
    run.ranks = group.size();
    run.threads = static_cast<int>(SumOverRanks(group, rankThreads));
    run.geometry = GeometryOfOptions(options);
    run.capacityLimitDb = BiAwgnLimitEbN0Db(run.geometry.codeRate());
    const int64_t unitsPerRank =
        UnitsPerRankPerRound(static_cast<int>(MaxOverRanks(group, rankThreads)));

    const StopRule rule{options.errors, options.maxBlocks};
    const bool showProgress = leader && !options.quiet && isatty(STDERR_FILENO);
    if (leader) {
        std::string workers = std::to_string(run.threads) + " thread(s)";
        if (distributed) workers = std::to_string(run.ranks) + " ranks, " + workers + " in all";
        std::printf("# tpcsim %s: K = %lld, N = %lld, rate %.4f, %d bit(s) per symbol, %s, seed %llu\n",
                    TPCSIM_VERSION, static_cast<long long>(run.geometry.infoBits),
                    static_cast<long long>(run.geometry.codeBits), run.geometry.codeRate(),
                    run.geometry.bitsPerSymbol, workers.c_str(),
                    static_cast<unsigned long long>(options.seed));
        std::printf("# binary-input AWGN limit for this rate: Eb/N0 = %.3f dB; BER interval: Wilson 95%% on bits\n",
                    run.capacityLimitDb);
        std::printf("%s", TableHeader().c_str());
        std::fflush(stdout);
    }

    std::signal(SIGINT, OnInterrupt);
    if (distributed) {
        // mpirun forwards SIGUSR1 to every rank: the way to stop a distributed
        // sweep and keep its files. Its Ctrl-C sends SIGTERM, then kills the
        // ranks a second later; a short round may still end in time.
        std::signal(SIGUSR1, OnInterrupt);
        std::signal(SIGTERM, OnInterrupt);
    }
    int status = 0;
    try {
        for (size_t i = 0; i < points.size(); ++i) {
            const double ebN0 = points[i];
            const devhost::LinkConfig config = MakeLinkConfig(options, defaults, ebN0);
            PointJob job;
            job.seed = options.seed;
            job.point = i;
            job.batch = options.batch;
            job.rule = rule;
            job.threads = rankThreads;
            auto makeRunner = [&](int) { return std::make_unique<LinkRunner>(*library, config); };
            ProgressFn progress;
            if (showProgress) {
                progress = [&](const PointProgress& p) {
                    std::fprintf(stderr, "\r\033[K%s",
                                 ProgressLine(static_cast<int>(i) + 1, static_cast<int>(points.size()),
                                              ebN0, p, rule, run.geometry.infoBits)
                                     .c_str());
                    std::fflush(stderr);
                };
            }
            const PointResult result =
                distributed ? RunPointAcrossRanks(job, unitsPerRank, group, makeRunner, &gInterrupted, progress)
                            : RunPoint(job, makeRunner, &gInterrupted, progress);
            if (showProgress) std::fprintf(stderr, "\r\033[K");
            if (result.interrupted) {
                run.interrupted = true;
                if (leader) std::fprintf(stderr, "tpcsim: interrupted; the point at %.2f dB is dropped\n", ebN0);
                break;
            }
            PointRecord record;
            record.ebN0Db = ebN0;
            record.esN0Db = EsN0FromEbN0(ebN0, run.geometry.codeRate(), run.geometry.bitsPerSymbol);
            record.counts = result.counts;
            record.seconds = result.seconds;
            run.points.push_back(record);
            if (leader) {
                std::printf("%s", TableRow(record).c_str());
                std::fflush(stdout);
            }
            if (options.minBer > 0 && record.ber() < options.minBer) {
                if (leader && i + 1 < points.size() && !options.quiet) {
                    std::fprintf(stderr, "tpcsim: BER below --min-ber %.1e: the sweep ends here\n",
                                 options.minBer);
                }
                break;
            }
        }
    } catch (const PeerRankFailed& e) {
        if (leader) std::fprintf(stderr, "tpcsim: %s\n", e.what());
        status = kExitFailure;
    } catch (const std::exception& e) {
        if (distributed) {
            std::fprintf(stderr, "tpcsim: rank %d: %s\n", group.rank(), e.what());
        } else {
            std::fprintf(stderr, "tpcsim: %s\n", e.what());
        }
        status = kExitFailure;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (leader && !options.out.empty()) {
        try {
            const std::string note = WriteOutputs(options.out, run);
            if (!note.empty()) std::fprintf(stderr, "tpcsim: %s\n", note.c_str());
            if (!options.quiet) {
                std::fprintf(stderr, "tpcsim: wrote %s/results.csv, results.json%s (%.1f s)\n",
                             options.out.c_str(), note.empty() ? ", ber.png, ber.svg" : "", run.seconds);
            }
        } catch (const std::exception& e) {
            std::fprintf(stderr, "tpcsim: %s\n", e.what());
            status = kExitFailure;
        }
    }
    if (run.interrupted) return kExitInterrupted;
    return status;
}

}  // namespace

int main(int argc, char** argv) {
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
