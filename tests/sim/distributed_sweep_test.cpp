// The sweep engine, in one process and spread over ranks: unit sizes, stop rules, and counts that do not depend
// on the number of ranks or threads. Ranks are threads of this process exchanging through an in-memory collective,
// so the round logic is tested without MPI (scripts/mpi_check.sh checks the MPI build).
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "sim/distributed_sweep.h"

namespace tpcsim {
namespace {

TEST(SweepEngine, EverySeedPointAndUnitGetsItsOwnStream) {
    std::set<uint64_t> seeds;
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
        const int64_t errors = static_cast<int64_t>((seed >> 8) % uint64_t(blocks + 1));
        return LinkCounts{blocks, blocks * 64, errors * 5 + static_cast<int64_t>(seed % 7), errors};
    }
};
const RunnerFactory kSeedRunners = [](int) { return std::make_unique<SeedRunner>(); };

// Blocks, bits, bit errors, block errors, units, interrupted.
std::vector<int64_t> Summary(const PointResult& r) {
    const LinkCounts& c = r.counts;
    return {c.blocks, c.bits, c.bitErrors, c.blockErrors, r.units, r.interrupted};
}

// The plain definition: units of `batch` blocks, the last one shortened to
// the block limit, run in order one at a time until the rule is met.
std::vector<int64_t> OneUnitAtATime(const PointJob& job) {
    SeedRunner runner;
    PointResult r;
    const int64_t limit = job.rule.maxBlocks > 0 ? job.rule.maxBlocks : INT64_MAX;
    while (r.counts.blocks < limit && r.counts.blockErrors < job.rule.blockErrors) {
        const uint64_t unit = static_cast<uint64_t>(r.units++);
        r.counts += runner.run(std::min(job.batch, limit - r.counts.blocks),
                               UnitSeed(job.seed, job.point, unit));
    }
    return Summary(r);
}

// The ranks of one job as threads: a gather completes when every rank has put
// its part in.
struct Exchange {
    int size = 0, arrived = 0;
    std::mutex mutex;
    std::condition_variable complete;
    uint64_t round = 0;
    std::vector<int64_t> filling, done;
};

struct ThreadRank : SingleRank {
    ThreadRank(Exchange& exchange, int rank) : x(exchange), me(rank) {}
    int rank() const override { return me; }
    int size() const override { return x.size; }
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
    for (int r = 0; r < ranks; ++r)
        threads.emplace_back([&, r] {
            ThreadRank group(exchange, r);
            results[static_cast<size_t>(r)] = body(group);
        });
    for (std::thread& t : threads) t.join();
    return results;
}

TEST(SweepEngine, CountsEqualOneUnitAtATimeForAnyRanksAndThreads) {
    // Error counts met early and late, and met exactly (one block per unit),
    // a block count that is not a multiple of the batch, one unit in all.
    const std::pair<StopRule, int64_t> rules[] = {  // rule, batch
        {{40, 0}, 8}, {{300, 5000}, 8}, {{5, 0}, 1}, {{1000000, 997}, 16}, {{1000000, 3}, 8}};
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
                for (const auto& [threads, perRank] : {std::pair{1, 1}, {1, 5}, {3, 1}, {3, 5}}) {
                    job.threads = threads;
                    const auto got = OnRanks<std::vector<int64_t>>(ranks, [&](RankGroup& group) {
                        return Summary(RunPointAcrossRanks(job, perRank, group, kSeedRunners,
                                                           nullptr, nullptr));
                    });
                    EXPECT_EQ(got, std::vector<std::vector<int64_t>>(size_t(ranks), expected))
                        << "ranks " << ranks << " threads " << threads << " per rank " << perRank;
                }
        }
    }
}

// A point continued from the units of a run under a lower rule (what
// --resume does with raised limits) sums the same units as a run from unit 0.
TEST(SweepEngine, ContinuedPointEqualsAFreshRun) {
    const std::pair<StopRule, StopRule> rules[] = {  // first run's rule, the raised one
        {{10, 0}, {40, 0}}, {{1000000, 96}, {1000000, 997}}, {{3, 64}, {300, 5000}}};
    for (const auto& [low, raised] : rules) {
        PointJob job{424242, 5, 8, raised};
        const std::vector<int64_t> expected = OneUnitAtATime(job);
        job.rule = low;
        const PointResult first = RunPoint(job, kSeedRunners, nullptr, nullptr);
        ASSERT_FALSE(PointDone(first.counts, raised));
        job.rule = raised;
        job.firstUnit = first.units;
        job.startCounts = first.counts;
        job.threads = 3;
        SCOPED_TRACE(testing::Message() << "continued from unit " << first.units);
        EXPECT_EQ(Summary(RunPoint(job, kSeedRunners, nullptr, nullptr)), expected);
        const auto got = OnRanks<std::vector<int64_t>>(3, [&](RankGroup& group) {
            return Summary(RunPointAcrossRanks(job, 2, group, kSeedRunners, nullptr, nullptr));
        });
        EXPECT_EQ(got, std::vector<std::vector<int64_t>>(3, expected));
    }
}

// A stop raised on any one rank interrupts the point on all (in one process
// tpcsim's SIGINT check covers it).
TEST(SweepEngine, StopOnOneRankInterruptsAll) {
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
}

}  // namespace
}  // namespace tpcsim
