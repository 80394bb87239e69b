// The sweep engine: unit sizes, stop rules, and counts that do not depend on
// the thread count (with stand-in runners whose result is a function of the
// unit seed, and which finish out of order).
#include <atomic>
#include <chrono>
#include <set>
#include <stdexcept>
#include <thread>

#include <gtest/gtest.h>

#include "sim/sweep_engine.h"

namespace tpcsim {
namespace {

TEST(SweepEngine, UnitBlocksNeverPassMaxBlocks) {
    struct Case {
        int64_t unit, batch, maxBlocks, expected;
    };
    const Case cases[] = {{0, 8, 0, 8},    {5, 8, 0, 8},    {0, 8, 20, 8},  {2, 8, 20, 4},
                          {3, 8, 20, 0},   {0, 8, 3, 3},    {1, 8, 16, 8},  {2, 8, 16, 0},
                          {0, 1, 1, 1},    {1, 1, 1, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(UnitBlocks(c.unit, c.batch, c.maxBlocks), c.expected)
            << "unit " << c.unit << " batch " << c.batch << " max " << c.maxBlocks;
    }
}

TEST(SweepEngine, PointDoneOnEitherRule) {
    const StopRule rule{10, 100};
    const struct {
        int64_t blocks, blockErrors;
        bool done;
    } cases[] = {{0, 0, false}, {99, 9, false}, {50, 10, true}, {100, 0, true}, {120, 3, true}};
    for (const auto& c : cases) {
        LinkCounts counts;
        counts.blocks = c.blocks;
        counts.blockErrors = c.blockErrors;
        EXPECT_EQ(PointDone(counts, rule), c.done) << c.blocks << " blocks, " << c.blockErrors << " errors";
    }
}

TEST(SweepEngine, UnitSeedsAreDistinctAcrossPointsAndUnits) {
    std::set<uint64_t> seen;
    for (uint64_t seed : {0ull, 1ull, 2ull})
        for (uint64_t point = 0; point < 20; ++point)
            for (uint64_t unit = 0; unit < 50; ++unit) seen.insert(UnitSeed(seed, point, unit));
    EXPECT_EQ(seen.size(), 3u * 20 * 50);
    EXPECT_EQ(UnitSeed(7, 3, 4), UnitSeed(7, 3, 4));
}

// Counts drawn from the unit seed; sleeps a seed-dependent time so that units
// finish in a different order from the one they started in.
class FakeRunner : public UnitRunner {
public:
    explicit FakeRunner(std::atomic<int64_t>* unitsRun = nullptr) : unitsRun_(unitsRun) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override {
        std::this_thread::sleep_for(std::chrono::microseconds(seed % 700));
        if (unitsRun_ != nullptr) ++*unitsRun_;
        LinkCounts c;
        c.blocks = blocks;
        c.bits = blocks * 100;
        c.blockErrors = static_cast<int64_t>((seed >> 8) % static_cast<uint64_t>(blocks + 1));
        c.bitErrors = c.blockErrors * 3 + static_cast<int64_t>(seed % 5);
        return c;
    }

private:
    std::atomic<int64_t>* unitsRun_;
};

// The plain sequential definition of a point: units in order until the rule.
LinkCounts SequentialPoint(const PointJob& job) {
    FakeRunner runner;
    LinkCounts sum;
    for (int64_t unit = 0;; ++unit) {
        const int64_t blocks = UnitBlocks(unit, job.batch, job.rule.maxBlocks);
        if (blocks == 0) break;
        sum += runner.run(blocks, UnitSeed(job.seed, job.point, static_cast<uint64_t>(unit)));
        if (PointDone(sum, job.rule)) break;
    }
    return sum;
}

TEST(SweepEngine, CountsEqualTheSequentialDefinitionForAnyThreadCount) {
    const struct {
        int64_t batch, errors, maxBlocks;
    } rules[] = {{4, 30, 0}, {4, 1000, 37}, {1, 5, 100}, {16, 200, 1000}};
    for (uint64_t seed : {1ull, 99ull}) {
        for (const auto& r : rules) {
            PointJob job;
            job.seed = seed;
            job.point = 3;
            job.batch = r.batch;
            job.rule = StopRule{r.errors, r.maxBlocks};
            const LinkCounts expected = SequentialPoint(job);
            for (int threads : {1, 2, 3, 8}) {
                job.threads = threads;
                const PointResult result =
                    RunPoint(job, [](int) { return std::make_unique<FakeRunner>(); }, nullptr, nullptr);
                const std::string where = "seed " + std::to_string(seed) + ", batch " +
                                          std::to_string(r.batch) + ", threads " + std::to_string(threads);
                EXPECT_EQ(result.counts.blocks, expected.blocks) << where;
                EXPECT_EQ(result.counts.bitErrors, expected.bitErrors) << where;
                EXPECT_EQ(result.counts.blockErrors, expected.blockErrors) << where;
                EXPECT_FALSE(result.interrupted) << where;
                if (r.maxBlocks > 0) {
                    EXPECT_LE(result.counts.blocks, r.maxBlocks) << where;
                }
            }
        }
    }
}

TEST(SweepEngine, StopFlagEndsThePointAsInterrupted) {
    std::atomic<bool> stop{false};
    std::atomic<int64_t> unitsRun{0};
    PointJob job;
    job.batch = 1;
    job.threads = 2;
    job.rule = StopRule{1000000, 0};  // never met
    std::thread raiser([&] {
        while (unitsRun.load() < 20) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stop.store(true);
    });
    const PointResult result =
        RunPoint(job, [&](int) { return std::make_unique<FakeRunner>(&unitsRun); }, &stop, nullptr);
    raiser.join();
    EXPECT_TRUE(result.interrupted);
    EXPECT_GE(result.units, 1);
    EXPECT_LE(result.units, unitsRun.load());
}

TEST(SweepEngine, RunnerFailuresReachTheCaller) {
    PointJob job;
    job.threads = 2;
    auto failing = [](int worker) -> std::unique_ptr<UnitRunner> {
        if (worker == 1) throw std::runtime_error("TPCDECODE refused its parameters");
        return std::make_unique<FakeRunner>();
    };
    EXPECT_THROW(RunPoint(job, failing, nullptr, nullptr), std::runtime_error);
}

TEST(SweepEngine, ProgressSeesGrowingCounts) {
    PointJob job;
    job.batch = 1;
    job.threads = 2;
    job.rule = StopRule{1000000, 400};
    int64_t last = -1;
    bool monotone = true;
    int calls = 0;
    RunPoint(job, [](int) { return std::make_unique<FakeRunner>(); }, nullptr,
             [&](const PointProgress& p) {
                 monotone = monotone && p.counts.blocks >= last;
                 last = p.counts.blocks;
                 ++calls;
             },
             0.001);
    EXPECT_GT(calls, 0);
    EXPECT_TRUE(monotone);
}

}  // namespace
}  // namespace tpcsim
