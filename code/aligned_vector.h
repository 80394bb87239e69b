// Vectors whose data start on a 64-byte line: the wide paths load whole lines
// from them, and a buffer that starts mid-line splits most of those loads in
// two, by how the heap happened to fall.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace tpc {

inline constexpr std::size_t kCacheLine = 64;

template <class T>
struct LineAlignedAllocator {
    using value_type = T;
    LineAlignedAllocator() = default;
    template <class U>
    LineAlignedAllocator(const LineAlignedAllocator<U>&) {}
    T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new(n * sizeof(T), std::align_val_t{kCacheLine}));
    }
    void deallocate(T* p, std::size_t) { ::operator delete(p, std::align_val_t{kCacheLine}); }
    template <class U>
    bool operator==(const LineAlignedAllocator<U>&) const { return true; }
    template <class U>
    bool operator!=(const LineAlignedAllocator<U>&) const { return false; }
};

template <class T>
using LineAlignedVector = std::vector<T, LineAlignedAllocator<T>>;

}  // namespace tpc
