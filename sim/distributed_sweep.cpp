#include "sim/distributed_sweep.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <limits>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/point_columns.h"

namespace tpcsim {

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Layout of one rank's part of the exchange: three flags, then the counts of
// its units of the round in order (zeros past the end of the point).
constexpr size_t kInterruptedFlag = 0;
constexpr size_t kFailedFlag = 1;
constexpr size_t kTimeUpFlag = 2;
constexpr size_t kFlagValues = 3;
// This rank's share of one round, run by its threads; the runners live for
// the whole point, each used by one thread at a time.
struct LocalRound {
    const PointJob* job = nullptr;
    const RunnerFactory* makeRunner = nullptr;
    const std::atomic<bool>* stop = nullptr;
    std::vector<std::unique_ptr<UnitRunner>> runners;
    std::vector<int64_t> units;       // this rank's units of the round
    std::vector<LinkCounts> counts;   // per entry of `units`
    std::atomic<size_t> next{0};
    std::atomic<bool> interrupted{false};
    std::mutex failureMutex;
    std::exception_ptr failure;

    void work(int worker) {
        try {
            std::unique_ptr<UnitRunner>& runner = runners[static_cast<size_t>(worker)];
            if (!runner) runner = (*makeRunner)(worker);
            for (;;) {
                if (stop != nullptr && stop->load()) {
                    interrupted = true;
                    return;
                }
                const size_t i = next++;
                if (i >= units.size() || failed()) return;
                const int64_t unit = units[i];
                counts[i] = runner->run(UnitBlocks(unit, job->batch, job->rule.maxBlocks),
                                        UnitSeed(job->seed, job->point, static_cast<uint64_t>(unit)));
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(failureMutex);
            if (!failure) failure = std::current_exception();
        }
    }

    bool failed() {
        std::lock_guard<std::mutex> lock(failureMutex);
        return static_cast<bool>(failure);
    }

    void run(int threads) {
        next = 0;
        const int used = static_cast<int>(std::min<size_t>(static_cast<size_t>(threads), units.size()));
        if (used <= 1) {
            work(0);
            return;
        }
        std::vector<std::thread> pool;
        pool.reserve(static_cast<size_t>(used));
        for (int w = 0; w < used; ++w) pool.emplace_back([this, w] { work(w); });
        for (std::thread& t : pool) t.join();
    }
};

}  // namespace

int64_t UnitsPerRankPerRound(int maxThreadsPerRank) {
    return 4 * static_cast<int64_t>(maxThreadsPerRank < 1 ? 1 : maxThreadsPerRank);
}

PeerRankFailed::PeerRankFailed(int rank)
    : std::runtime_error("rank " + std::to_string(rank) + " failed; see its message"), rank_(rank) {}

PointResult RunPointAcrossRanks(const PointJob& job, int64_t unitsPerRank, RankGroup& group,
                                const RunnerFactory& makeRunner, const std::atomic<bool>* stop,
                                const ProgressFn& progress, double progressInterval) {
    const Clock::time_point start = Clock::now();
    const int64_t ranks = group.size();
    const int64_t me = group.rank();
    const int64_t share = unitsPerRank < 1 ? 1 : unitsPerRank;
    const int64_t roundUnits = share * ranks;
    const int64_t endUnit = job.rule.maxBlocks > 0 ? (job.rule.maxBlocks + job.batch - 1) / job.batch
                                                   : std::numeric_limits<int64_t>::max();
    const int threads = job.threads < 1 ? 1 : job.threads;

    LocalRound local;
    local.job = &job;
    local.makeRunner = &makeRunner;
    local.stop = stop;
    local.runners.resize(static_cast<size_t>(threads));
    local.units.reserve(static_cast<size_t>(share));
    local.counts.resize(static_cast<size_t>(share));

    const size_t rankValues = kFlagValues + static_cast<size_t>(share) * CountColumns();
    std::vector<int64_t> mine(rankValues);
    std::vector<int64_t> all(rankValues * static_cast<size_t>(ranks));

    PointResult result;
    result.counts = job.startCounts;
    result.units = job.firstUnit;
    double lastShown = 0;
    bool done = false;
    for (int64_t base = job.firstUnit; !done && base < endUnit; base += roundUnits) {
        const int64_t roundEnd = endUnit - base < roundUnits ? endUnit : base + roundUnits;
        local.units.clear();
        for (int64_t unit = base + me; unit < roundEnd; unit += ranks) local.units.push_back(unit);
        local.run(threads);

        std::fill(mine.begin(), mine.end(), 0);
        mine[kInterruptedFlag] = local.interrupted ? 1 : 0;
        mine[kFailedFlag] = local.failure ? 1 : 0;
        mine[kTimeUpFlag] = job.maxSeconds > 0 && SecondsSince(start) >= job.maxSeconds ? 1 : 0;
        for (size_t i = 0; i < local.units.size(); ++i) {
            PackCounts(local.counts[i], &mine[kFlagValues + i * CountColumns()]);
        }
        group.allGather(mine.data(), rankValues, all.data());

        for (int64_t r = 0; r < ranks; ++r) {
            if (all[static_cast<size_t>(r) * rankValues + kFailedFlag] == 0) continue;
            if (local.failure) std::rethrow_exception(local.failure);
            throw PeerRankFailed(static_cast<int>(r));
        }
        for (int64_t r = 0; r < ranks; ++r) {
            if (all[static_cast<size_t>(r) * rankValues + kInterruptedFlag] != 0) result.interrupted = true;
        }
        if (result.interrupted) break;
        bool timeUp = false;
        for (int64_t r = 0; r < ranks; ++r) {
            if (all[static_cast<size_t>(r) * rankValues + kTimeUpFlag] != 0) timeUp = true;
        }

        for (int64_t unit = base; unit < roundEnd; ++unit) {
            const size_t owner = static_cast<size_t>((unit - base) % ranks);
            const size_t slot = static_cast<size_t>((unit - base) / ranks);
            result.counts += UnpackCounts(&all[owner * rankValues + kFlagValues + slot * CountColumns()]);
            ++result.units;
            if (PointDone(result.counts, job.rule)) {
                done = true;
                break;
            }
        }
        if (timeUp && !done) {
            result.timeLimited = true;
            break;
        }
        const double now = SecondsSince(start);
        if (progress && !done && now - lastShown >= progressInterval) {
            lastShown = now;
            progress(PointProgress{result.counts, now});
        }
    }
    result.seconds = SecondsSince(start);
    return result;
}

}  // namespace tpcsim
