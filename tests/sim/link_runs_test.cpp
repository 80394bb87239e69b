// End-to-end runs through the loaded library, set up from tpcsim's options:
// the meter's alignment, and counts that follow the seed and not the number
// of threads.
#include <gtest/gtest.h>

#include "devhost/library.h"
#include "sim/link_setup.h"
#include "sim/options.h"

namespace tpcsim {
namespace {

const devhost::Library& TheLibrary() {
    static const devhost::Library library(devhost::DefaultLibraryPath());
    return library;
}

devhost::LinkConfig Config(std::vector<std::string> args, double ebN0) {
    args.insert(args.begin(), "tpcsim");
    const ParseOutcome outcome = ParseOptions(args);
    EXPECT_EQ(outcome.exitCode, -1) << outcome.message;
    EXPECT_EQ(ValidateOptions(outcome.options), "");
    return MakeLinkConfig(outcome.options, devhost::DefaultLinkConfig(TheLibrary()), ebN0);
}

// At a high Eb/N0 every block comes back intact, so any misalignment of the
// meter would show as errors in about half the bits.
TEST(LinkRuns, MeterIsAlignedOnEveryKindOfLink) {
    const std::vector<std::vector<std::string>> links = {
        {"--iterations", "8"},
        {"--code", "8,7x8,4", "--offset", "64"},  // one whole block later
        {"--code", "16,11x16,11", "--constellation", "examples/constellations/16qam.txt", "--points", "16"},
        {"--code", "16,11x8,4", "--constellation", "examples/constellations/8psk.txt", "--points", "8",
         "--interleave"}};
    for (const auto& args : links) {
        SCOPED_TRACE(args[1]);
        devhost::Link link(TheLibrary(), Config(args, 30.0));
        const LinkCounts counts = link.run(5, 42);
        EXPECT_EQ(counts.blocks, 5);
        EXPECT_EQ(counts.bitErrors, 0) << "seed 42";
        EXPECT_EQ(counts.bits, 5 * link.geometry().infoBits);
    }
}

TEST(LinkRuns, CountsFollowTheSeedNotTheThreads) {
    const devhost::LinkConfig config = Config({"--code", "8,4x8,4", "--iterations", "8"}, 1.0);
    std::vector<int64_t> bitErrorsBySeed;
    for (uint64_t seed : {1ull, 2024ull}) {
        PointJob job;
        job.seed = seed;
        job.batch = 5;
        job.rule = StopRule{40, 400};
        LinkCounts byThreads[2];
        for (int threads : {1, 2}) {
            job.threads = threads;
            const RunnerFactory runners = [&](int) { return std::make_unique<LinkRunner>(TheLibrary(), config); };
            byThreads[threads - 1] = RunPoint(job, runners, nullptr, nullptr).counts;
        }
        EXPECT_GE(byThreads[0].blockErrors, 40) << "seed " << seed << ": the test needs noise";
        EXPECT_EQ(byThreads[0].blocks, byThreads[1].blocks) << "seed " << seed;
        EXPECT_EQ(byThreads[0].bitErrors, byThreads[1].bitErrors) << "seed " << seed;
        EXPECT_EQ(byThreads[0].blockErrors, byThreads[1].blockErrors) << "seed " << seed;
        bitErrorsBySeed.push_back(byThreads[0].bitErrors);
    }
    EXPECT_NE(bitErrorsBySeed[0], bitErrorsBySeed[1]) << "the noise does not follow the seed";
}

}  // namespace
}  // namespace tpcsim
