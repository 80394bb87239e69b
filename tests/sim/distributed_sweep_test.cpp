// Points spread over ranks: ranks are threads of this process exchanging
// through an in-memory stand-in of the collective, so the round logic is
// tested without MPI; the MPI build itself is checked by scripts/mpi_check.sh.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/distributed_sweep.h"
#include "sim/rank_group.h"

namespace tpcsim {
namespace {

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

// Counts drawn from the unit seed alone, with a seed-dependent delay so that
// ranks and threads finish out of order.
class SeedRunner : public UnitRunner {
public:
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

// Runs `body(group)` on `ranks` threads, one per rank; results by rank.
std::vector<PointResult> OnRanks(int ranks, const std::function<PointResult(RankGroup&)>& body) {
    Exchange exchange(ranks);
    std::vector<PointResult> results(static_cast<size_t>(ranks));
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

const RunnerFactory kSeedRunners = [](int) { return std::make_unique<SeedRunner>(); };

TEST(DistributedSweep, EveryRankGetsTheOneProcessCountsUnderEitherRule) {
    struct Rule {
        StopRule rule;
        int64_t batch;
    };
    // Error counts met early and late, a block count that is not a multiple
    // of the batch, and one unit in all.
    const Rule rules[] = {{{40, 0}, 8}, {{300, 5000}, 8}, {{1000000, 997}, 16}, {{1000000, 3}, 8}, {{1, 0}, 4}};
    for (const Rule& r : rules) {
        for (uint64_t point : {0u, 5u}) {
            PointJob job;
            job.seed = 424242;
            job.point = point;
            job.batch = r.batch;
            job.rule = r.rule;
            const PointResult expected = OneUnitAtATime(job);
            for (int ranks : {1, 2, 3, 4}) {
                for (int threads : {1, 3}) {
                    for (int64_t perRank : {1, 5}) {
                        job.threads = threads;
                        const std::vector<PointResult> got = OnRanks(ranks, [&](RankGroup& group) {
                            return RunPointAcrossRanks(job, perRank, group, kSeedRunners, nullptr, nullptr);
                        });
                        for (int rank = 0; rank < ranks; ++rank) {
                            const PointResult& g = got[static_cast<size_t>(rank)];
                            const std::string where = "seed 424242 point " + std::to_string(point) +
                                                      " errors " + std::to_string(r.rule.blockErrors) +
                                                      " max " + std::to_string(r.rule.maxBlocks) + " ranks " +
                                                      std::to_string(ranks) + " threads " +
                                                      std::to_string(threads) + " per rank " +
                                                      std::to_string(perRank) + " rank " + std::to_string(rank);
                            EXPECT_EQ(g.counts.blocks, expected.counts.blocks) << where;
                            EXPECT_EQ(g.counts.bits, expected.counts.bits) << where;
                            EXPECT_EQ(g.counts.bitErrors, expected.counts.bitErrors) << where;
                            EXPECT_EQ(g.counts.blockErrors, expected.counts.blockErrors) << where;
                            EXPECT_EQ(g.units, expected.units) << where;
                            EXPECT_FALSE(g.interrupted) << where;
                        }
                    }
                }
            }
        }
    }
}

TEST(DistributedSweep, StopOnOneRankInterruptsEveryRank) {
    PointJob job;
    job.batch = 4;
    job.rule = {1000000000, 0};  // would never end by itself
    job.threads = 2;
    std::atomic<bool> raised{true};
    std::atomic<bool> clear{false};
    for (int stopped : {0, 2}) {
        const std::vector<PointResult> got = OnRanks(3, [&](RankGroup& group) {
            return RunPointAcrossRanks(job, 2, group, kSeedRunners,
                                       group.rank() == stopped ? &raised : &clear, nullptr);
        });
        for (const PointResult& g : got) EXPECT_TRUE(g.interrupted) << "stop raised on rank " << stopped;
    }
}

// Throws on one unit; the rank that ran it reports its own error, the others
// a PeerRankFailed naming it, and none waits forever.
class FailingRunner : public SeedRunner {
public:
    LinkCounts run(int64_t blocks, uint64_t seed) override {
        if (seed == UnitSeed(1, 0, 7)) throw std::runtime_error("unit 7 failed");
        return SeedRunner::run(blocks, seed);
    }
};

TEST(DistributedSweep, ARunnerFailureEndsThePointOnEveryRank) {
    PointJob job;
    job.seed = 1;
    job.batch = 4;
    job.rule = {1000000000, 400};
    job.threads = 2;
    const RunnerFactory failing = [](int) { return std::make_unique<FailingRunner>(); };
    const int ranks = 3;  // unit 7 runs on rank 1
    std::vector<std::string> outcome(ranks);
    OnRanks(ranks, [&](RankGroup& group) {
        try {
            RunPointAcrossRanks(job, 2, group, failing, nullptr, nullptr);
            outcome[static_cast<size_t>(group.rank())] = "finished";
        } catch (const PeerRankFailed& e) {
            outcome[static_cast<size_t>(group.rank())] = "peer " + std::to_string(e.rank());
        } catch (const std::exception& e) {
            outcome[static_cast<size_t>(group.rank())] = e.what();
        }
        return PointResult{};
    });
    EXPECT_EQ(outcome[0], "peer 1");
    EXPECT_EQ(outcome[1], "unit 7 failed");
    EXPECT_EQ(outcome[2], "peer 1");
}

TEST(DistributedSweep, CollectivesOverRanks) {
    const std::vector<PointResult> got = OnRanks(3, [](RankGroup& group) {
        PointResult r;
        r.counts.blocks = SumOverRanks(group, group.rank() + 10);
        r.counts.bits = MaxOverRanks(group, 5 - group.rank());
        r.counts.bitErrors = AllRanksAgree(group, true) ? 1 : 0;
        r.counts.blockErrors = AllRanksAgree(group, group.rank() != 2) ? 1 : 0;
        return r;
    });
    for (const PointResult& r : got) {
        EXPECT_EQ(r.counts.blocks, 33);
        EXPECT_EQ(r.counts.bits, 5);
        EXPECT_EQ(r.counts.bitErrors, 1);
        EXPECT_EQ(r.counts.blockErrors, 0);
    }
    SingleRank one;
    EXPECT_EQ(SumOverRanks(one, 7), 7);
    EXPECT_TRUE(AllRanksAgree(one, true));
    EXPECT_FALSE(AllRanksAgree(one, false));
}

}  // namespace
}  // namespace tpcsim
