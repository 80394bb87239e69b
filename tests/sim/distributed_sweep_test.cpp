// The sweep engine, in one process and spread over ranks: unit sizes, stop
// rules, and counts that do not depend on the number of ranks or threads.
// Ranks are threads of this process exchanging through an in-memory
// collective, so the round logic is tested without MPI (scripts/mpi_check.sh
// checks the MPI build).
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "sim/distributed_sweep.h"
#include "sim/link_setup.h"
#include "sim/options.h"

namespace tpcsim {
namespace {

TEST(SweepEngine, UnitBlocksStopRuleAndSeeds) {
    const std::vector<std::vector<int64_t>> units = {  // unit, max blocks: blocks in batches of 8
        {5, 0, 8}, {2, 20, 4}, {3, 20, 0}, {0, 3, 3}, {1, 16, 8}, {2, 16, 0}};
    for (const auto& u : units) EXPECT_EQ(UnitBlocks(u[0], 8, u[1]), u[2]) << u[0] << " " << u[1];
    for (const auto& [blocks, errors, done] : {std::make_tuple(99, 9, false), {50, 10, true},
                                               {100, 0, true}}) {
        LinkCounts sum;
        sum.blocks = blocks;
        sum.blockErrors = errors;
        EXPECT_EQ(PointDone(sum, StopRule{10, 100}), done) << blocks << " blocks, " << errors;
    }
    std::set<uint64_t> seeds;  // every seed, point and unit gets its own stream
    for (uint64_t seed : {0, 1, 2})
        for (uint64_t point = 0; point < 20; ++point)
            for (uint64_t unit = 0; unit < 50; ++unit) seeds.insert(UnitSeed(seed, point, unit));
    EXPECT_EQ(seeds.size(), 3u * 20 * 50);
}

// Counts drawn from the unit seed alone, with a seed-dependent delay so that
// units finish out of order.
struct SeedRunner : UnitRunner {
    LinkCounts run(int64_t blocks, uint64_t seed) override {
        std::this_thread::sleep_for(std::chrono::microseconds(seed % 300));
        LinkCounts c;
        c.blocks = blocks;
        c.bits = blocks * 64;
        c.blockErrors = static_cast<int64_t>((seed >> 8) % static_cast<uint64_t>(blocks + 1));
        c.bitErrors = c.blockErrors * 5 + static_cast<int64_t>(seed % 7);
        return c;
    }
};
const RunnerFactory kSeedRunners = [](int) { return std::make_unique<SeedRunner>(); };

// Blocks, bits, bit errors, block errors, units, interrupted.
std::vector<int64_t> Summary(const PointResult& r) {
    const LinkCounts& c = r.counts;
    return {c.blocks, c.bits, c.bitErrors, c.blockErrors, r.units, r.interrupted};
}

// The plain definition: units in order, one at a time, until the rule.
std::vector<int64_t> OneUnitAtATime(const PointJob& job) {
    SeedRunner runner;
    PointResult result;
    for (int64_t blocks; (blocks = UnitBlocks(result.units, job.batch, job.rule.maxBlocks)) > 0;) {
        const uint64_t unit = static_cast<uint64_t>(result.units++);
        result.counts += runner.run(blocks, UnitSeed(job.seed, job.point, unit));
        if (PointDone(result.counts, job.rule)) break;
    }
    return Summary(result);
}

// The ranks of one job as threads: a gather completes when every rank has put
// its part in.
struct Exchange {
    int size = 0;
    std::mutex mutex;
    std::condition_variable complete;
    int arrived = 0;
    uint64_t round = 0;
    std::vector<int64_t> filling, done;
};

struct ThreadRank : RankGroup {
    ThreadRank(Exchange& exchange, int rank) : x(exchange), me(rank) {}
    int rank() const override { return me; }
    int size() const override { return x.size; }
    int ranksOnThisHost() const override { return x.size; }
    void allGather(const int64_t* mine, size_t count, int64_t* all) override {
        std::unique_lock<std::mutex> lock(x.mutex);
        x.filling.resize(count * static_cast<size_t>(x.size));
        std::copy(mine, mine + count, &x.filling[count * static_cast<size_t>(me)]);
        const uint64_t round = x.round;
        if (++x.arrived == x.size) {
            x.done.swap(x.filling);
            x.arrived = 0;
            ++x.round;
            x.complete.notify_all();
        }
        x.complete.wait(lock, [&] { return x.round != round; });
        std::copy(x.done.begin(), x.done.end(), all);
    }
    Exchange& x;
    const int me;
};

// Runs `body(group)` on `ranks` threads, one per rank; results by rank.
template <typename Result>
std::vector<Result> OnRanks(int ranks, const std::function<Result(RankGroup&)>& body) {
    Exchange exchange;
    exchange.size = ranks;
    std::vector<Result> results(static_cast<size_t>(ranks));
    std::vector<std::thread> threads;
    for (int r = 0; r < ranks; ++r) {
        threads.emplace_back([&, r] {
            ThreadRank group(exchange, r);
            results[static_cast<size_t>(r)] = body(group);
        });
    }
    for (std::thread& t : threads) t.join();
    return results;
}

TEST(SweepEngine, CountsEqualOneUnitAtATimeForAnyRanksAndThreads) {
    // Error counts met early and late, a block count that is not a multiple
    // of the batch, one unit in all.
    const std::pair<StopRule, int64_t> rules[] = {  // rule, batch
        {{40, 0}, 8}, {{300, 5000}, 8}, {{1000000, 997}, 16}, {{1000000, 3}, 8}, {{1, 0}, 4}};
    for (const auto& [rule, batch] : rules) {
        for (uint64_t point : {0u, 5u}) {
            PointJob job{424242, point, batch, rule};
            const std::vector<int64_t> expected = OneUnitAtATime(job);
            SCOPED_TRACE(testing::Message() << "seed 424242 point " << point << " errors "
                                            << rule.blockErrors << " max " << rule.maxBlocks);
            for (int threads : {1, 3, 8}) {
                job.threads = threads;
                EXPECT_EQ(Summary(RunPoint(job, kSeedRunners, nullptr, nullptr)), expected)
                    << "one process, threads " << threads;
            }
            for (int ranks : {1, 2, 3, 4})
                for (int threads : {1, 3})
                    for (int64_t perRank : {1, 5}) {
                        job.threads = threads;
                        const auto got = OnRanks<PointResult>(ranks, [&](RankGroup& group) {
                            return RunPointAcrossRanks(job, perRank, group, kSeedRunners, nullptr,
                                                       nullptr);
                        });
                        for (size_t rank = 0; rank < got.size(); ++rank)
                            EXPECT_EQ(Summary(got[rank]), expected)
                                << "ranks " << ranks << " threads " << threads << " per rank "
                                << perRank << " rank " << rank;
                    }
        }
    }
}

// A stop raised on any one rank interrupts the point on all (in one process
// tpcsim's SIGINT check covers it). A runner's exception reaches its own
// rank's caller, the others a PeerRankFailed naming that rank, and no rank
// waits forever.
TEST(SweepEngine, StopAndFailureOnOneRankReachEveryRank) {
    // Errors never met; the block limit ends a point that ignores the stop.
    const PointJob job{1, 0, 4, StopRule{1000000, 400}, 2};
    std::atomic<bool> raised{true}, clear{false};
    for (int stopped : {0, 2}) {
        const auto got = OnRanks<PointResult>(3, [&](RankGroup& group) {
            const std::atomic<bool>* stop = group.rank() == stopped ? &raised : &clear;
            return RunPointAcrossRanks(job, 2, group, kSeedRunners, stop, nullptr);
        });
        for (const PointResult& g : got) EXPECT_TRUE(g.interrupted) << "stop on rank " << stopped;
    }
    struct FailingRunner : SeedRunner {
        LinkCounts run(int64_t blocks, uint64_t seed) override {
            if (seed == UnitSeed(1, 0, 7)) throw std::runtime_error("unit 7 failed");
            return SeedRunner::run(blocks, seed);
        }
    };
    const RunnerFactory failing = [](int) { return std::make_unique<FailingRunner>(); };
    EXPECT_THROW(RunPoint(job, failing, nullptr, nullptr), std::runtime_error);
    const auto outcome = OnRanks<std::string>(3, [&](RankGroup& group) -> std::string {
        try {
            RunPointAcrossRanks(job, 2, group, failing, nullptr, nullptr);  // unit 7 is rank 1's
            return "finished";
        } catch (const PeerRankFailed& e) {
            return "peer " + std::to_string(e.rank());
        } catch (const std::exception& e) {
            return e.what();
        }
    });
    EXPECT_EQ(outcome, (std::vector<std::string>{"peer 1", "unit 7 failed", "peer 1"}));
}

// Through the real link: the noise follows the unit seeds, and the counts do
// not depend on which worker's link ran which unit.
TEST(SweepEngine, RealLinkCountsFollowTheSeedNotTheThreads) {
    static const devhost::Library library(devhost::DefaultLibraryPath());
    const auto config = MakeLinkConfig(ParseOptions({"tpcsim", "--code", "8,4x8,4"}).options,
                                       DefaultLinkConfig(library), 1.0);
    const RunnerFactory runners = [&](int) { return std::make_unique<LinkRunner>(library, config); };
    std::vector<std::vector<int64_t>> bySeed;
    for (uint64_t seed : {1, 2024}) {
        PointJob job{seed, 0, 5, StopRule{40, 400}};
        bySeed.push_back(Summary(RunPoint(job, runners, nullptr, nullptr)));
        EXPECT_GE(bySeed.back()[3], 40) << "seed " << seed << ": the test needs noise";
        job.threads = 2;
        EXPECT_EQ(Summary(RunPoint(job, runners, nullptr, nullptr)), bySeed.back()) << "seed " << seed;
    }
    EXPECT_NE(bySeed[0], bySeed[1]) << "the noise does not follow the seed";
}

}  // namespace
}  // namespace tpcsim
