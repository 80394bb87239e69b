// End-to-end runs through the loaded library: the meter's alignment on every
// kind of link, identical counts for one and two threads, and a node's own
// refusal message.
#include <gtest/gtest.h>

#include "devhost/library.h"
#include "sim/link_setup.h"
#include "sim/options.h"

namespace tpcsim {
namespace {

class LinkRuns : public testing::Test {
protected:
    static void SetUpTestSuite() { library_ = new devhost::Library(devhost::DefaultLibraryPath()); }
    static void TearDownTestSuite() {
        delete library_;
        library_ = nullptr;
    }
    static SimOptions Options(std::vector<std::string> args) {
        args.insert(args.begin(), "tpcsim");
        const ParseOutcome outcome = ParseOptions(args);
        EXPECT_EQ(outcome.exitCode, -1) << outcome.message;
        EXPECT_EQ(ValidateOptions(outcome.options), "");
        return outcome.options;
    }
    static devhost::LinkConfig Config(const SimOptions& o, double ebN0) {
        return MakeLinkConfig(o, devhost::DefaultLinkConfig(*library_), ebN0);
    }
    static devhost::Library* library_;
};
devhost::Library* LinkRuns::library_ = nullptr;

// At a high Eb/N0 every block comes back intact, so any misalignment of the
// meter would show as errors in about half the bits.
TEST_F(LinkRuns, MeterIsAlignedOnEveryKindOfLink) {
    const std::vector<std::vector<std::string>> links = {
        {},
        {"--code", "8,4x8,4"},
        {"--code", "16,11x16,11", "--interleave"},
        {"--code", "8,4x8,4x8,4"},
        {"--code", "8,7x8,4", "--offset", "64"},  // one whole block later
        {"--code", "16,11x16,11", "--constellation", "examples/constellations/16qam.txt", "--points", "16"},
        {"--code", "16,11x8,4", "--constellation", "examples/constellations/8psk.txt", "--points", "8",
         "--interleave"}};
    for (const auto& args : links) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        const SimOptions o = Options(args);
        std::unique_ptr<devhost::Link> made;
        try {
            made = std::make_unique<devhost::Link>(*library_, Config(o, 30.0));
        } catch (const std::exception& e) {
            ADD_FAILURE() << joined << ": " << e.what();
            continue;
        }
        devhost::Link& link = *made;
        const LinkCounts counts = link.run(5, 42);
        EXPECT_EQ(counts.blocks, 5) << joined;
        EXPECT_EQ(counts.bitErrors, 0) << joined << "(seed 42)";
        EXPECT_EQ(counts.bits, 5 * link.geometry().infoBits) << joined;
    }
}

TEST_F(LinkRuns, IdenticalCountsForOneAndTwoThreads) {
    const SimOptions o = Options({"--code", "8,4x8,4", "--iterations", "8"});
    const devhost::LinkConfig config = Config(o, 1.0);
    for (uint64_t seed : {1ull, 2024ull}) {
        PointJob job;
        job.seed = seed;
        job.point = 0;
        job.batch = 5;
        job.rule = StopRule{40, 400};
        LinkCounts byThreads[2];
        for (int threads : {1, 2}) {
            job.threads = threads;
            byThreads[threads - 1] =
                RunPoint(job, [&](int) { return std::make_unique<LinkRunner>(*library_, config); },
                         nullptr, nullptr)
                    .counts;
        }
        EXPECT_GT(byThreads[0].bitErrors, 0) << "seed " << seed << ": the test needs noise";
        EXPECT_EQ(byThreads[0].blocks, byThreads[1].blocks) << "seed " << seed;
        EXPECT_EQ(byThreads[0].bitErrors, byThreads[1].bitErrors) << "seed " << seed;
        EXPECT_EQ(byThreads[0].blockErrors, byThreads[1].blockErrors) << "seed " << seed;
        EXPECT_GE(byThreads[0].blockErrors, 40) << "seed " << seed;
    }
}

TEST_F(LinkRuns, NodeRefusalCarriesTheNodesMessage) {
    const SimOptions o = Options({"--nx", "64", "--kx", "60"});
    try {
        devhost::Link link(*library_, Config(o, 3.0));
        FAIL() << "a (64,60) code was accepted";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("Code dimensions must satisfy log2(n) + 1 = n - k"),
                  std::string::npos)
            << e.what();
    }
}

}  // namespace
}  // namespace tpcsim
