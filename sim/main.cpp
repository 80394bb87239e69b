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
#include "sim/link_setup.h"
#include "sim/options.h"
#include "sim/progress.h"
#include "sim/results.h"
#include "sim/units.h"

namespace {

std::atomic<bool> gInterrupted{false};

extern "C" void OnInterrupt(int) { gInterrupted.store(true); }

constexpr int kExitBadOptions = 2;
constexpr int kExitFailure = 1;
constexpr int kExitInterrupted = 130;

int Run(const tpcsim::SimOptions& options) {
    using namespace tpcsim;
    const auto started = std::chrono::steady_clock::now();
    const std::string libraryPath = devhost::DefaultLibraryPath();
    std::unique_ptr<devhost::Library> library;
    try {
        library = std::make_unique<devhost::Library>(libraryPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: cannot load the library %s: %s\n", libraryPath.c_str(), e.what());
        return kExitFailure;
    }
    const devhost::LinkConfig defaults = devhost::DefaultLinkConfig(*library);
    const std::vector<double> points = SweepEbN0(options);

    // One link up front: a node that refuses its parameters says so here, once.
    try {
        devhost::Link check(*library, MakeLinkConfig(options, defaults, points.front()));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: %s\n", e.what());
        return kExitBadOptions;
    }

    RunRecord run;
    run.options = options;
    run.libraryPath = libraryPath;
    run.threads = options.threads > 0 ? options.threads
                                      : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    run.geometry = GeometryOfOptions(options);
    run.capacityLimitDb = BiAwgnLimitEbN0Db(run.geometry.codeRate());

    const StopRule rule{options.errors, options.maxBlocks};
    const bool showProgress = !options.quiet && isatty(STDERR_FILENO);
    std::printf("# tpcsim %s: K = %lld, N = %lld, rate %.4f, %d bit(s) per symbol, %d thread(s), seed %llu\n",
                TPCSIM_VERSION, static_cast<long long>(run.geometry.infoBits),
                static_cast<long long>(run.geometry.codeBits), run.geometry.codeRate(),
                run.geometry.bitsPerSymbol, run.threads,
                static_cast<unsigned long long>(options.seed));
    std::printf("# binary-input AWGN limit for this rate: Eb/N0 = %.3f dB; BER interval: Wilson 95%% on bits\n",
                run.capacityLimitDb);
    std::printf("%s", TableHeader().c_str());
    std::fflush(stdout);

    std::signal(SIGINT, OnInterrupt);
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
            job.threads = run.threads;
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
            const PointResult result = RunPoint(job, makeRunner, &gInterrupted, progress);
            if (showProgress) std::fprintf(stderr, "\r\033[K");
            if (result.interrupted) {
                run.interrupted = true;
                std::fprintf(stderr, "tpcsim: interrupted; the point at %.2f dB is dropped\n", ebN0);
                break;
            }
            PointRecord record;
            record.ebN0Db = ebN0;
            record.esN0Db = EsN0FromEbN0(ebN0, run.geometry.codeRate(), run.geometry.bitsPerSymbol);
            record.counts = result.counts;
            record.seconds = result.seconds;
            run.points.push_back(record);
            std::printf("%s", TableRow(record).c_str());
            std::fflush(stdout);
            if (options.minBer > 0 && record.ber() < options.minBer) {
                if (i + 1 < points.size() && !options.quiet) {
                    std::fprintf(stderr, "tpcsim: BER below --min-ber %.1e: the sweep ends here\n",
                                 options.minBer);
                }
                break;
            }
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim: %s\n", e.what());
        status = kExitFailure;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (!options.out.empty()) {
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
    const tpcsim::ParseOutcome parsed =
        tpcsim::ParseOptions(std::vector<std::string>(argv, argv + argc));
    if (parsed.exitCode >= 0) {
        std::fputs(parsed.message.c_str(), parsed.exitCode == 0 ? stdout : stderr);
        return parsed.exitCode;
    }
    const std::string problem = tpcsim::ValidateOptions(parsed.options);
    if (!problem.empty()) {
        std::fprintf(stderr, "tpcsim: %s\n", problem.c_str());
        return kExitBadOptions;
    }
    return Run(parsed.options);
}
