#include "link/channel.h"

namespace tpc::link {

Channel::Channel(const Constellation& points, int32_t blockSize)
    : points_(points),
      blockSize_(blockSize),
      bitsPerSymbol_(points.i.empty() ? 1 : points.bitsPerSymbol),
      gaussians_(static_cast<size_t>(blockSize)) {}

const double* Channel::bpskNoise() {
    noise_.fill(gaussians_.data(), gaussians_.size());
    return gaussians_.data();
}

void Channel::bpsk(const uint8_t* codeBits, double sigma, double* received) {
    const double* noise = bpskNoise();
    for (int32_t e = 0; e < blockSize_; ++e) {
        const double amplitude = codeBits[e] != 0 ? 1.0 : -1.0;
        received[e] = amplitude + sigma * noise[e];
    }
}

int32_t Channel::symbols(const uint8_t* here, const uint8_t* next, int32_t first, double sigma, double* i,
                         double* q) {
    const int32_t m = bitsPerSymbol_;
    const int32_t pointCount = static_cast<int32_t>(points_.i.size());
    int32_t count = 0;
    for (int32_t start = first; start < blockSize_; start += m, ++count) {
        int32_t label = 0;
        for (int32_t j = 0; j < m; ++j) {
            const int32_t e = start + j;
            const uint8_t bit = e < blockSize_ ? here[e] : next[e - blockSize_];
            label |= bit << j;
        }
        const int32_t point = label % pointCount;
        i[count] = points_.i[point] + sigma * noise_.next();
        q[count] = points_.q[point] + sigma * noise_.next();
    }
    return count;
}

}  // namespace tpc::link
