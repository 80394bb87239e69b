// A sweep over several pass counts: each count's rows are those of a run of
// that count alone (same seed), and every count decodes the same units.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "sim/link_setup.h"
#include "sim/options.h"
#include "sim_command_line.h"
#include "sim/results.h"
#include "sim/sweep.h"

namespace tpcsim {
namespace {

// The block engine, noting the seed of every unit it runs.
class SeedNotingRunner : public UnitRunner {
public:
    using Seen = std::map<std::pair<double, int32_t>, std::set<uint64_t>>;  // (Eb/N0, passes) -> seeds
    SeedNotingRunner(const tpc::link::LinkDescription& d, Seen& seen, std::mutex& mutex)
        : runner_(d), point_{d.ebN0Db, d.decoder.iterations}, seen_(seen), mutex_(mutex) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_[point_].insert(seed);
        }
        return runner_.run(blocks, seed);
    }

private:
    BlockRunner runner_;
    std::pair<double, int32_t> point_;
    Seen& seen_;
    std::mutex& mutex_;
};

struct Finished {
    RunRecord record;
    SeedNotingRunner::Seen seeds;
};

// 8 passes end their sweep at 4 dB (no block error in 300 blocks); 2 passes
// go on to 5 dB; the error rule ends most points at different units.
Finished SweepWith(const std::string& iterations) {
    const SimOptions options = CommandLineOptions(
        "--code 16,11x16,11 --ebn0 2,3,4,5 --errors 30 --max-blocks 300 --batch 8 --threads 2 --seed 5 --iterations " +
        iterations);
    Finished finished;
    std::mutex mutex;
    SweepHooks hooks;
    hooks.makeRunner = [&](const tpc::link::LinkDescription& d) {
        return std::make_unique<SeedNotingRunner>(d, finished.seeds, mutex);
    };
    Sweep sweep(options, hooks);
    sweep.run();
    finished.record = sweep.record();
    return finished;
}

std::vector<int64_t> Counts(const PointRecord& p) {
    const LinkCounts& c = p.counts;
    return {c.blocks, c.bits, c.bitErrors, c.blockErrors, c.bitErrorsSquared, c.passes, c.undetectedBlocks, p.units};
}

// (pass count, Eb/N0) -> the counts of its row.
std::map<std::pair<int64_t, double>, std::vector<int64_t>> Rows(const RunRecord& run) {
    std::map<std::pair<int64_t, double>, std::vector<int64_t>> rows;
    for (const PointRecord& p : run.points) rows[{p.iterations, p.ebN0Db}] = Counts(p);
    return rows;
}

TEST(PassCounts, ListRowsEqualSeparateRunsOfEachCount) {
    const Finished list = SweepWith("8,2");
    const auto listRows = Rows(list.record);
    std::map<std::pair<int64_t, double>, std::vector<int64_t>> separateRows;
    for (const char* count : {"2", "8"}) {
        const RunRecord alone = SweepWith(count).record;
        EXPECT_EQ(FormatCsv(alone).find("iterations"), std::string::npos) << "one count writes what it always wrote";
        for (const auto& row : Rows(alone)) separateRows.insert(row);
    }
    EXPECT_EQ(listRows, separateRows);
    EXPECT_EQ(listRows.size(), 7u) << "8 passes end at 4 dB, 2 passes go on to 5 dB";
    EXPECT_EQ(FormatCsv(list.record).rfind("ebn0_db,esn0_db,iterations,", 0), 0u);

    // Common random numbers: the units of each point carry the same seeds at
    // either count, as far as both ran.
    for (double ebN0 : {2.0, 3.0, 4.0}) {
        const std::set<uint64_t>& two = list.seeds.at({ebN0, 2});
        const std::set<uint64_t>& eight = list.seeds.at({ebN0, 8});
        const std::set<uint64_t>& fewer = two.size() < eight.size() ? two : eight;
        const std::set<uint64_t>& more = two.size() < eight.size() ? eight : two;
        for (uint64_t seed : fewer) EXPECT_EQ(more.count(seed), 1u) << ebN0 << " dB";
    }
}

}  // namespace
}  // namespace tpcsim
