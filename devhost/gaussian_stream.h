// Standard normal samples in a stream fixed by the seed, read one at a time
// or in arrays alike. For now over the polar method of devhost/random.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "devhost/random.h"

namespace devhost {

class GaussianStream {
public:
    explicit GaussianStream(uint64_t seed = 1) : random_(seed) {}
    void reseed(uint64_t seed) { random_.reseed(seed); }
    double next() { return random_.gaussian(); }
    void fill(double* out, size_t count) {
        for (size_t i = 0; i < count; ++i) out[i] = random_.gaussian();
    }

private:
    Random random_;
};

}  // namespace devhost
