#include "link/channel.h"

#include <algorithm>

#include "code/vector_clones.h"

namespace tpc::link {

namespace {

const double kBpskI[2] = {-1.0, 1.0};
const double kBpskQ[2] = {0.0, 0.0};

// BPSK through its gains: x = 2c - 1 on I, complex noise (draws 2e, 2e + 1);
// branch-free, so it vectorises.
TPC_WIDE_VECTOR_CLONES
void FadeBpsk(const uint8_t* __restrict codeBits, const double* __restrict gainI, const double* __restrict gainQ,
              const float* __restrict noise, double sigma, double* __restrict i, double* __restrict q, int32_t count) {
    for (int32_t e = 0; e < count; ++e) {
        const double x = static_cast<double>(2 * static_cast<int32_t>(codeBits[e]) - 1);
        i[e] = gainI[e] * x + sigma * noise[2 * e];
        q[e] = gainQ[e] * x + sigma * noise[2 * e + 1];
    }
}

}  // namespace

Channel::Channel(const Constellation& points, int32_t blockSize, const ChannelModel& model)
    : points_(points),
      blockSize_(blockSize),
      bitsPerSymbol_(points.i.empty() ? 1 : points.bitsPerSymbol),
      gainPerBlock_(model.perBlock),
      pointI_(points.i.empty() ? kBpskI : points.i.data()),
      pointQ_(points.i.empty() ? kBpskQ : points.q.data()),
      gains_(model),
      // BPSK over fading takes two noise draws per code bit.
      gaussians_(static_cast<size_t>(model.fading == Fading::kNone ? blockSize : 2 * maxSymbols())) {}

const float* Channel::bpskNoise() {
    noise_.fill(gaussians_.data(), static_cast<size_t>(blockSize_));
    return gaussians_.data();
}

void Channel::bpsk(const uint8_t* codeBits, double sigma, double* received) {
    bpskAmplitudes(codeBits, bpskNoise(), sigma, received);
}

void Channel::bpskAmplitudes(const uint8_t* codeBits, const float* noise, double sigma, double* received) const {
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

int32_t Channel::fadedSymbols(const uint8_t* here, const uint8_t* next, int32_t first, double sigma, double* i,
                              double* q, double* gainI, double* gainQ) {
    const int32_t m = bitsPerSymbol_;
    const int32_t count = (blockSize_ - first + m - 1) / m;
    if (gainPerBlock_) {
        gains_.fill(gainI, gainQ, 1);
        std::fill(gainI + 1, gainI + count, gainI[0]);
        std::fill(gainQ + 1, gainQ + count, gainQ[0]);
    } else {
        gains_.fill(gainI, gainQ, count);
    }
    float* noise = gaussians_.data();
    noise_.fill(noise, static_cast<size_t>(2 * count));
    if (points_.i.empty()) {
        FadeBpsk(here, gainI, gainQ, noise, sigma, i, q, count);
        return count;
    }
    for (int32_t s = 0; s < count; ++s) {
        int32_t label = 0;
        for (int32_t j = 0; j < m; ++j) {
            const int32_t e = first + s * m + j;
            const uint8_t bit = e < blockSize_ ? here[e] : next[e - blockSize_];
            label |= bit << j;
        }
        // 2^m <= M: every label is a point.
        const double x = pointI_[label], y = pointQ_[label];
        i[s] = gainI[s] * x - gainQ[s] * y + sigma * noise[2 * s];
        q[s] = gainI[s] * y + gainQ[s] * x + sigma * noise[2 * s + 1];
    }
    return count;
}

}  // namespace tpc::link
