// RunBatch (see batch_runner.h).
#include "api/batch_runner.h"

#include <atomic>
#include <thread>
#include <vector>

namespace tpc {
namespace api {

int32_t WorkersFor(size_t blocks, int32_t threads) {
    if (threads < 1 || blocks == 0) return 1;
    return static_cast<size_t>(threads) < blocks ? threads : static_cast<int32_t>(blocks);
}

void RunBatch(size_t blocks, int32_t threads, const std::function<void(int32_t, size_t)>& work) {
    std::atomic<size_t> next{0};
    const auto drain = [&](int32_t worker) {
        for (size_t block = next++; block < blocks; block = next++) work(worker, block);
    };
    const int32_t workers = WorkersFor(blocks, threads);
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<size_t>(workers - 1));
    try {
        for (int32_t w = 1; w < workers; ++w) helpers.emplace_back(drain, w);
    } catch (...) {
        // A thread that could not be started: let the started ones finish
        // their current block, then report.
        next = blocks;
        for (std::thread& t : helpers) t.join();
        throw;
    }
    drain(0);
    for (std::thread& t : helpers) t.join();
}

}  // namespace api
}  // namespace tpc
