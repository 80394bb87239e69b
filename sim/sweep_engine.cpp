#include "sim/sweep_engine.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "link/random_bits.h"

namespace tpcsim {

uint64_t UnitSeed(uint64_t seed, uint64_t point, uint64_t unit) {
    uint64_t state = seed;
    uint64_t h = tpc::link::SplitMix64(state);
    state = h ^ point;
    h = tpc::link::SplitMix64(state);
    state = h ^ unit;
    return tpc::link::SplitMix64(state);
}

int64_t UnitBlocks(int64_t unit, int64_t batch, int64_t maxBlocks) {
    if (maxBlocks <= 0) return batch;
    const int64_t before = unit * batch;
    if (before >= maxBlocks) return 0;
    return maxBlocks - before < batch ? maxBlocks - before : batch;
}

double PointTimeLimit(double perPoint, double sweepLimit, double elapsed) {
    if (sweepLimit <= 0) return perPoint;
    const double left = std::max(sweepLimit - elapsed, 1e-3);
    return perPoint > 0 ? std::min(perPoint, left) : left;
}

bool PointDone(const LinkCounts& counts, const StopRule& rule) {
    if (counts.blockErrors >= rule.blockErrors) return true;
    return rule.maxBlocks > 0 && counts.blocks >= rule.maxBlocks;
}

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A finished unit waiting to be summed.
struct UnitOutcome {
    LinkCounts counts;
    std::vector<FailedBlock> failures;
};

// What the workers of one point share; every member is guarded by `mutex`.
struct PointBoard {
    std::mutex mutex;
    std::condition_variable changed;
    int64_t nextUnit = 0;
    int64_t endUnit = std::numeric_limits<int64_t>::max();  // no unit at or past this starts
    std::map<int64_t, UnitOutcome> waiting;  // finished, not yet summed (out of order)
    LinkCounts summed;
    std::vector<KeptFailure> failures;  // of the summed units
    int64_t summedUnits = 0;
    bool done = false;
    bool timeUp = false;
    Clock::time_point start;
    int running = 0;
    std::exception_ptr failure;
};

void Work(const PointJob& job, int worker, const RunnerFactory& makeRunner,
          const std::atomic<bool>* stop, PointBoard& board) {
    try {
        std::unique_ptr<UnitRunner> runner = makeRunner(worker);
        runner->keepFailures(job.keepFailures);
        for (;;) {
            int64_t unit;
            {
                std::lock_guard<std::mutex> lock(board.mutex);
                const bool halted = stop != nullptr && stop->load();
                if (job.maxSeconds > 0 && !board.done && SecondsSince(board.start) >= job.maxSeconds) {
                    board.timeUp = true;
                    board.endUnit = std::min(board.endUnit, board.nextUnit);
                }
                if (halted || board.failure || board.nextUnit >= board.endUnit) break;
                unit = board.nextUnit++;
            }
            const int64_t blocks = UnitBlocks(unit, job.batch, job.rule.maxBlocks);
            UnitOutcome outcome;
            outcome.counts = runner->run(blocks, UnitSeed(job.seed, job.point, static_cast<uint64_t>(unit)));
            outcome.failures = runner->failures();
            std::lock_guard<std::mutex> lock(board.mutex);
            board.waiting.emplace(unit, std::move(outcome));
            // Sum the finished prefix in unit order; the rule decides after each unit.
            for (auto it = board.waiting.begin();
                 !board.done && it != board.waiting.end() && it->first == board.summedUnits;
                 it = board.waiting.erase(it)) {
                board.summed += it->second.counts;
                for (const FailedBlock& failure : it->second.failures) {
                    if (board.failures.size() < static_cast<size_t>(job.keepFailures)) {
                        board.failures.push_back({it->first, failure});
                    }
                }
                ++board.summedUnits;
                if (PointDone(board.summed, job.rule)) {
                    board.done = true;
                    board.endUnit = board.summedUnits;
                }
            }
            board.changed.notify_all();
        }
    } catch (...) {
        std::lock_guard<std::mutex> lock(board.mutex);
        if (!board.failure) board.failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(board.mutex);
    --board.running;
    board.changed.notify_all();
}

}  // namespace

PointResult RunPoint(const PointJob& job, const RunnerFactory& makeRunner,
                     const std::atomic<bool>* stop, const ProgressFn& progress,
                     double progressInterval) {
    const Clock::time_point start = Clock::now();
    PointBoard board;
    board.start = start;
    board.nextUnit = job.firstUnit;
    board.summedUnits = job.firstUnit;
    board.summed = job.startCounts;
    if (job.rule.maxBlocks > 0) {
        board.endUnit = (job.rule.maxBlocks + job.batch - 1) / job.batch;
    }
    const int threads = job.threads < 1 ? 1 : job.threads;
    board.running = threads;
    std::vector<std::thread> workers;
    workers.reserve(static_cast<size_t>(threads));
    for (int w = 0; w < threads; ++w) {
        workers.emplace_back(Work, std::cref(job), w, std::cref(makeRunner), stop,
                             std::ref(board));
    }
    {
        std::unique_lock<std::mutex> lock(board.mutex);
        const auto interval = std::chrono::duration<double>(progressInterval);
        double lastShown = 0;
        while (board.running > 0) {
            board.changed.wait_for(lock, interval);
            const double now = SecondsSince(start);
            if (progress && board.running > 0 && now - lastShown >= progressInterval) {
                lastShown = now;
                const PointProgress snapshot{board.summed, SecondsSince(start)};
                lock.unlock();
                progress(snapshot);
                lock.lock();
            }
        }
    }
    for (std::thread& t : workers) t.join();
    if (board.failure) std::rethrow_exception(board.failure);

    PointResult result;
    result.counts = board.summed;
    result.units = board.summedUnits;
    result.failures = std::move(board.failures);
    result.seconds = SecondsSince(start);
    result.interrupted = !board.done && board.nextUnit < board.endUnit;
    result.timeLimited = !board.done && !result.interrupted && board.timeUp;
    return result;
}

}  // namespace tpcsim
