#include "link/fading.h"

#include <algorithm>
#include <cmath>

#include "link/random_bits.h"

namespace tpc::link {

FadingGains::FadingGains(const ChannelModel& model)
    : fades_(model.fading != Fading::kNone),
      lineOfSight_(model.fading == Fading::kRician ? std::sqrt(model.ricianK / (model.ricianK + 1)) : 0.0),
      scatter_(std::sqrt(0.5 / (model.fading == Fading::kRician ? model.ricianK + 1 : 1.0))) {}

void FadingGains::fill(double* re, double* im, int64_t count) {
    if (!fades_) {
        std::fill(re, re + count, 1.0);
        std::fill(im, im + count, 0.0);
        return;
    }
    constexpr int64_t kChunk = GaussianStream::kBatch / 2;  // gains per pass over draws_
    for (int64_t done = 0; done < count; done += kChunk) {
        const int64_t n = std::min(kChunk, count - done);
        gaussians_.fill(draws_, static_cast<size_t>(2 * n));
        for (int64_t g = 0; g < n; ++g) {
            re[done + g] = lineOfSight_ + scatter_ * draws_[2 * g];
            im[done + g] = scatter_ * draws_[2 * g + 1];
        }
    }
}

void ApplyChannel(const ChannelModel& model, int64_t blockSymbols, double sigma, uint64_t seed, const double* symbols,
                  int64_t count, double* gains, double* received) {
    uint64_t mix = seed;
    GaussianStream noise(SplitMix64(mix));
    FadingGains fading(model);
    fading.restart(SplitMix64(mix));
    const int64_t perGain = model.perBlock ? std::max<int64_t>(blockSymbols, 1) : 1;
    for (int64_t s = 0; s < count; ++s) {
        double& re = gains[2 * s];
        double& im = gains[2 * s + 1];
        if (s % perGain == 0) {
            fading.fill(&re, &im, 1);
        } else {
            re = gains[2 * s - 2];
            im = gains[2 * s - 1];
        }
        const double xr = symbols[2 * s], xi = symbols[2 * s + 1];
        const double nr = noise.next(), ni = noise.next();
        received[2 * s] = re * xr - im * xi + sigma * nr;
        received[2 * s + 1] = re * xi + im * xr + sigma * ni;
    }
}

}  // namespace tpc::link
