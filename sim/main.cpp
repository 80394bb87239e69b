// tpcsim: sweeps the error rate of a turbo product code link built from the
// library's real nodes. See docs/tpcsim.md for the options and outputs.
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <exception>
#include <memory>

#include "sim/merge_command.h"
#include "sim/nodes_engine.h"
#include "sim/option_checks.h"
#include "sim/options.h"
#include "sim/plot_command.h"
#include "sim/progress.h"
#include "sim/rank_group.h"
#include "sim/references.h"
#include "sim/replay.h"
#include "sim/results.h"
#include "sim/sweep.h"
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
    std::printf("%s", TableHeader(run.options.iterations.size() > 1).c_str());
    std::fflush(stdout);
}

void PrintRow(const PointRecord& record, bool kept, bool passList) {
    std::string row = TableRow(record, passList);
    if (kept) row.insert(row.size() - 1, "  (kept)");
    if (record.timeLimited) row.insert(row.size() - 1, "  (time limit)");
    std::printf("%s", row.c_str());
    std::fflush(stdout);
}

void ShowProgress(const SweepProgress& p) {
    std::fprintf(stderr, "\r\033[K%s",
                 ProgressLine(p.point, p.pointCount, p.ebN0Db, p.progress, p.rule, p.infoBits,
                              p.pointSecondsLeft, p.sweepSecondsLeft)
                     .c_str());
    std::fflush(stderr);
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

int InterruptedExitCode() { return 128 + (gSignal != 0 ? static_cast<int>(gSignal) : SIGINT); }

// Every rank runs the whole sweep on the same gathered counts, so all take
// the same decisions (stop rules, --min-ber, interruption); only rank 0
// prints the table, shows progress and writes files. Messages that would be
// the same on every rank come from rank 0; a rank's own failure from it.
int Run(const SimOptions& options, RankGroup& group) {
    const bool leader = group.rank() == 0;
    const bool showProgress = leader && !options.quiet && isatty(STDERR_FILENO);
    SweepHooks hooks;
    hooks.group = &group;
    hooks.stop = &gInterrupted;
    hooks.note = [showProgress](const std::string& text) {
        if (showProgress) std::fprintf(stderr, "\r\033[K");
        std::fprintf(stderr, "tpcsim: %s\n", text.c_str());
    };
    const bool passList = options.iterations.size() > 1;
    hooks.row = [showProgress, passList](const PointRecord& record, bool kept) {
        if (showProgress) std::fprintf(stderr, "\r\033[K");
        PrintRow(record, kept, passList);
    };
    if (showProgress) hooks.progress = ShowProgress;
    // The nodes engine runs the library loaded by path; the block engine
    // needs none.
    std::unique_ptr<NodesEngine> nodes;
    std::string libraryPath;
    if (options.engine == "nodes") {
        libraryPath = NodesEngine::DefaultLibraryPath();
        std::string problem;
        try {
            nodes = std::make_unique<NodesEngine>(libraryPath);
        } catch (const std::exception& e) {
            problem = "cannot load the library " + libraryPath + ": " + e.what();
            std::fprintf(stderr, "tpcsim: %s\n", problem.c_str());
        }
        if (!AllRanksAgree(group, problem.empty())) return kExitFailure;
        hooks.makeRunner = [&nodes](const tpc::link::LinkDescription& description) { return nodes->runner(description); };
    }
    try {
        Sweep sweep(options, hooks, libraryPath);
        if (leader) PrintHeader(sweep.record());
        CatchStopSignals(group.size() > 1);
        try {
            sweep.run();
        } catch (const SweepFailure& e) {
            if (e.what()[0] != '\0') std::fprintf(stderr, "tpcsim: %s\n", e.what());
            return sweep.interrupted() ? InterruptedExitCode() : e.exitCode();
        }
        return sweep.interrupted() ? InterruptedExitCode() : 0;
    } catch (const SweepFailure& e) {
        if (e.what()[0] != '\0') std::fprintf(stderr, "tpcsim: %s\n", e.what());
        return e.exitCode();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "plot") {
        return tpcsim::RunPlotCommand(std::vector<std::string>(argv + 2, argv + argc));
    }
    if (argc > 1 && std::string(argv[1]) == "replay") {
        return tpcsim::RunReplayCommand(std::vector<std::string>(argv + 2, argv + argc));
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
    std::string problem = tpcsim::ValidateOptions(options);
    if (problem.empty()) problem = tpcsim::SettleOutput(options);
    // The command line's kept blocks live in the files only (Python returns them).
    if (problem.empty() && options.keepFailures > 0 && options.out.empty()) {
        problem = "--keep-failures keeps the blocks in the files of --out DIR: give it";
    }
    if (!problem.empty()) {
        if (leader) std::fprintf(stderr, "tpcsim: %s\n", problem.c_str());
        return kExitBadOptions;
    }
    return Run(options, group);
}
