#include "host/allocation.h"

#include <cstdlib>

namespace tpc {

namespace {
thread_local int64_t allowedAllocations = -1;  // negative: unlimited
thread_local int64_t allocationCount = 0;
thread_local int64_t liveAllocations = 0;
}  // namespace

void* AllocateZeroed(size_t count, size_t size) {
    if (allowedAllocations == 0) return nullptr;
    void* memory = std::calloc(count == 0 ? 1 : count, size == 0 ? 1 : size);
    if (memory != nullptr) {
        ++allocationCount;
        ++liveAllocations;
        if (allowedAllocations > 0) --allowedAllocations;
    }
    return memory;
}

void ReleaseAllocation(void* memory) {
    if (memory != nullptr) --liveAllocations;
    std::free(memory);
}

void FailAllocationsAfter(int64_t successes) { allowedAllocations = successes < 0 ? -1 : successes; }

int64_t AllocationCount() { return allocationCount; }

void ResetAllocationCount() { allocationCount = 0; }

int64_t LiveAllocationCount() { return liveAllocations; }

}  // namespace tpc
