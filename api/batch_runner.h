// Spreads the blocks of a batch over threads. Each block is independent, so
// the results do not depend on which thread takes which block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace tpc {
namespace api {

// Calls work(worker, block) once for every block < blocks, on `threads`
// threads (capped at the number of blocks): the calling thread is worker 0,
// the others are started here and joined before returning. Blocks are handed
// out one at a time, so a slow block does not hold up the rest.
void RunBatch(size_t blocks, int32_t threads, const std::function<void(int32_t, size_t)>& work);

// The number of threads RunBatch uses for a batch.
int32_t WorkersFor(size_t blocks, int32_t threads);

}  // namespace api
}  // namespace tpc
