// Bytes the process holds on its heap right now, for tests that repeat a
// node's calls and expect to end where they began (a leak shows as growth).
#pragma once

#include <cstddef>

// The C library keeps some freed small blocks in per-thread caches that its
// statistics still count as in use; growth below this is that, not a leak.
// Tests repeat their calls often enough, with buffers large enough, that a
// leak grows the heap far beyond it.
inline constexpr size_t kHeapNoiseBytes = 16384;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TPC_TEST_UNDER_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TPC_TEST_UNDER_ASAN 1
#endif

#if defined(TPC_TEST_UNDER_ASAN)
// The sanitizer runtime's own count (its header is not installed everywhere).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
inline size_t HeapBytesInUse() { return __sanitizer_get_current_allocated_bytes(); }
#else
#include <malloc.h>
inline size_t HeapBytesInUse() { return mallinfo2().uordblks; }
#endif
