// Zero-filled allocation for state records and buffers.
//
// Every allocation of the nodes goes through here, so that tests can count
// allocations and make the n-th one fail. The counters are per thread, so
// simulations on several threads never share them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpc {

// calloc(count, size), or null when a test asked this allocation to fail.
void* AllocateZeroed(size_t count, size_t size);
void ReleaseAllocation(void* memory);

// Test hooks. After `successes` more successful allocations on this thread,
// every allocation fails; a negative value turns the failure off.
void FailAllocationsAfter(int64_t successes);
// Number of successful allocations on this thread since the last reset.
int64_t AllocationCount();
void ResetAllocationCount();
// Allocations on this thread not yet released (successes minus releases of
// non-null pointers): a node that ends where it began leaked nothing.
int64_t LiveAllocationCount();

// Allocates `count` zeroed elements into `buffer`; false on failure.
template <class T>
bool AllocateBuffer(T*& buffer, size_t count) {
    buffer = static_cast<T*>(AllocateZeroed(count, sizeof(T)));
    return buffer != nullptr;
}

template <class T>
void ReleaseBuffer(T*& buffer) {
    ReleaseAllocation(buffer);
    buffer = nullptr;
}

}  // namespace tpc
