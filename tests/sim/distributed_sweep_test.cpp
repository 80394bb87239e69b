// The sweep engine, in one process and spread over ranks: unit sizes, stop
// rules, and counts that do not depend on the number of ranks or threads.
// Ranks are threads of this process exchanging through an in-memory
// stand-in of the collective, so the round logic is tested without MPI; the
// MPI build itself is checked by scripts/mpi_check.sh.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/distributed_sweep.h"
#include "sim/rank_group.h"
#include "sim/sweep_engine.h"

namespace tpcsim {
namespace {

TEST(SweepEngine, UnitBlocksStopRuleAndSeeds) {
    const struct {
        int64_t unit, batch, maxBlocks, expected;
    } units[] = {{5, 8, 0, 8}, {2, 8, 20, 4}, {3, 8, 20, 0}, {0, 8, 3, 3}, {1, 8, 16, 8}, {2, 8, 16, 0}};
    for (const auto& c : units) {
        EXPECT_EQ(UnitBlocks(c.unit, c.batch, c.maxBlocks), c.expected)
            << "unit " << c.unit << " batch " << c.batch << " max " << c.maxBlocks;
    }
    const struct {
        int64_t blocks, blockErrors;
        bool done;
    } counts[] = {{99, 9, false}, {50, 10, true}, {100, 0, true}};
    for (const auto& c : counts) {
        LinkCounts sum;
        sum.blocks = c.blocks;
        sum.blockErrors = c.blockErrors;
        EXPECT_EQ(PointDone(sum, StopRule{10, 100}), c.done) << c.blocks << " blocks, " << c.blockErrors;
    }
    std::set<uint64_t> seeds;  // every seed, point and unit gets its own stream
    for (uint64_t seed : {0ull, 1ull, 2ull})
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

// The plain definition: units in order, one at a time, until the rule.
PointResult OneUnitAtATime(const PointJob& job) {
    SeedRunner runner;
    PointResult result;
    for (int64_t unit = 0;; ++unit) {
        const int64_t blocks = UnitBlocks(unit, job.batch, job.rule.maxBlocks);
        if (blocks == 0) break;
        result.counts += runner.run(blocks, UnitSeed(job.seed, job.point, static_cast<uint64_t>(unit)));
        ++result.units;
        if (PointDone(result.counts, job.rule)) break;
    }
    return result;
}

// Blocks, bits, bit errors, block errors, units, interrupted.
std::vector<int64_t> Summary(const PointResult& r) {
    return {r.counts.blocks, r.counts.bits, r.counts.bitErrors, r.counts.blockErrors, r.units, r.interrupted};
}

// What the ranks of one in-process job share: a gather completes when every
// rank has put its part in.
struct Exchange {
    explicit Exchange(int ranks) : size(ranks) {}
    const int size;
    std::mutex mutex;
    std::condition_variable complete;
    int arrived = 0;
    uint64_t generation = 0;
    std::vector<int64_t> filling, done;
};

class ThreadRank : public RankGroup {
public:
    ThreadRank(Exchange& exchange, int rank) : exchange_(exchange), rank_(rank) {}
    int rank() const override { return rank_; }
    int size() const override { return exchange_.size; }
    int ranksOnThisHost() const override { return exchange_.size; }
    void allGather(const int64_t* mine, size_t count, int64_t* all) override {
        std::unique_lock<std::mutex> lock(exchange_.mutex);
        if (exchange_.arrived == 0) exchange_.filling.assign(count * static_cast<size_t>(exchange_.size), -1);
        std::copy(mine, mine + count, exchange_.filling.begin() + static_cast<std::ptrdiff_t>(count) * rank_);
        const uint64_t generation = exchange_.generation;
        if (++exchange_.arrived == exchange_.size) {
            exchange_.done = exchange_.filling;
            exchange_.arrived = 0;
            ++exchange_.generation;
            exchange_.complete.notify_all();
        } else {
            exchange_.complete.wait(lock, [&] { return exchange_.generation != generation; });
        }
        std::copy(exchange_.done.begin(), exchange_.done.end(), all);
    }

private:
    Exchange& exchange_;
    int rank_;
};

// Runs `body(group)` on `ranks` threads, one per rank; results by rank.
template <typename Result>
std::vector<Result> OnRanks(int ranks, const std::function<Result(RankGroup&)>& body) {
    Exchange exchange(ranks);
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
    const struct {
        StopRule rule;
        int64_t batch;
    } rules[] = {{{40, 0}, 8}, {{300, 5000}, 8}, {{1000000, 997}, 16}, {{1000000, 3}, 8}, {{1, 0}, 4}};
    for (const auto& r : rules) {
        for (uint64_t point : {0u, 5u}) {
            PointJob job;
            job.seed = 424242;
            job.point = point;
            job.batch = r.batch;
            job.rule = r.rule;
            const std::vector<int64_t> expected = Summary(OneUnitAtATime(job));
            const std::string rule = "seed 424242 point " + std::to_string(point) + " errors " +
                                     std::to_string(r.rule.blockErrors) + " max " + std::to_string(r.rule.maxBlocks);
            for (int threads : {1, 3, 8}) {
                job.threads = threads;
                EXPECT_EQ(Summary(RunPoint(job, kSeedRunners, nullptr, nullptr)), expected)
                    << rule << ", one process, threads " << threads;
            }
            for (int ranks : {1, 2, 3, 4})
                for (int threads : {1, 3})
                    for (int64_t perRank : {1, 5}) {
                        job.threads = threads;
                        const auto got = OnRanks<PointResult>(ranks, [&](RankGroup& group) {
                            return RunPointAcrossRanks(job, perRank, group, kSeedRunners, nullptr, nullptr);
                        });
                        for (size_t rank = 0; rank < got.size(); ++rank) {
                            EXPECT_EQ(Summary(got[rank]), expected) << rule << " ranks " << ranks << " threads "
                                                                    << threads << " per rank " << perRank
                                                                    << " rank " << rank;
                        }
                    }
        }
    }
}

// A stop raised on any one rank interrupts the point on all. (In one process
// the program's own SIGINT check covers it.)
TEST(SweepEngine, StopOnOneRankInterruptsAll) {
    PointJob job;
    job.batch = 4;
    job.threads = 2;
    job.rule = StopRule{1000000, 400};  // errors never met; the blocks end a point that ignores the stop
    std::atomic<bool> raised{true}, clear{false};
    for (int stopped : {0, 2}) {
        const auto got = OnRanks<PointResult>(3, [&](RankGroup& group) {
            const std::atomic<bool>* stop = group.rank() == stopped ? &raised : &clear;
            return RunPointAcrossRanks(job, 2, group, kSeedRunners, stop, nullptr);
        });
        for (const PointResult& g : got) EXPECT_TRUE(g.interrupted) << "stop raised on rank " << stopped;
    }
}

TEST(SweepEngine, RunnerFailuresReachTheCaller) {
    PointJob job;
    job.threads = 2;
    auto failingWorker = [](int worker) -> std::unique_ptr<UnitRunner> {
        if (worker == 1) throw std::runtime_error("TPCDECODE refused its parameters");
        return std::make_unique<SeedRunner>();
    };
    EXPECT_THROW(RunPoint(job, failingWorker, nullptr, nullptr), std::runtime_error);

    // Across ranks: the rank that ran the failing unit reports its own
    // error, the others a PeerRankFailed naming it, and none waits forever.
    struct FailingRunner : SeedRunner {
        LinkCounts run(int64_t blocks, uint64_t seed) override {
            if (seed == UnitSeed(1, 0, 7)) throw std::runtime_error("unit 7 failed");
            return SeedRunner::run(blocks, seed);
        }
    };
    job.seed = 1;
    job.batch = 4;
    job.rule = {1000000000, 400};
    const auto outcome = OnRanks<std::string>(3, [&](RankGroup& group) -> std::string {  // unit 7 runs on rank 1
        try {
            RunPointAcrossRanks(job, 2, group, [](int) { return std::make_unique<FailingRunner>(); }, nullptr,
                                nullptr);
            return "finished";
        } catch (const PeerRankFailed& e) {
            return "peer " + std::to_string(e.rank());
        } catch (const std::exception& e) {
            return e.what();
        }
    });
    EXPECT_EQ(outcome, (std::vector<std::string>{"peer 1", "unit 7 failed", "peer 1"}));
}

// Sum, maximum and agreement, as every rank sees them.
TEST(SweepEngine, CollectivesOverRanks) {
    const auto got = OnRanks<std::vector<int64_t>>(3, [](RankGroup& group) {
        return std::vector<int64_t>{SumOverRanks(group, group.rank() + 10), MaxOverRanks(group, 5 - group.rank()),
                                    AllRanksAgree(group, true), AllRanksAgree(group, group.rank() != 2)};
    });
    for (const auto& g : got) EXPECT_EQ(g, (std::vector<int64_t>{33, 5, 1, 0}));
}

}  // namespace
}  // namespace tpcsim
