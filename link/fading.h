// Complex channel gains of unit mean power, E|h|^2 = 1:
//
//   Rayleigh    h = (a + jb) / sqrt(2),                   a, b standard normal
//   Rician K    h = sqrt(K/(K+1)) + sqrt(1/(K+1)) * (a + jb) / sqrt(2)
//
// (the line of sight on the real axis). Gain g takes draws 2g (a) and 2g + 1
// (b) of its own Gaussian stream, so the gains of a seed are the same however
// they are read.
#pragma once

#include <cstdint>

#include "link/gaussian_stream.h"
#include "link/link_description.h"

namespace tpc::link {

class FadingGains {
public:
    // AWGN (Fading::kNone) gives unit gains without drawing.
    explicit FadingGains(const ChannelModel& model);

    void restart(uint64_t seed) { gaussians_.reseed(seed); }
    // The next `count` gains: real parts into re[], imaginary into im[].
    void fill(double* re, double* im, int64_t count);

private:
    bool fades_;
    double lineOfSight_;  // sqrt(K/(K+1)); 0 for Rayleigh
    double scatter_;      // sqrt(1/(K+1)) / sqrt(2), per real dimension
    GaussianStream gaussians_;
    float draws_[GaussianStream::kBatch];
};

// The channel on its own, for experiments outside a link: symbol x_s (complex,
// interleaved re, im) leaves as y_s = h_s x_s + n_s, n_s complex Gaussian of
// `sigma` per real dimension (draws 2s and 2s + 1 of the noise stream). Fast
// fading draws a gain per symbol, block fading one per `blockSymbols`
// symbols; AWGN has every gain 1. Noise and gains are seeded by the first two
// splitmix64 words of `seed`. gains and received: 2 * count doubles each.
void ApplyChannel(const ChannelModel& model, int64_t blockSymbols, double sigma, uint64_t seed, const double* symbols,
                  int64_t count, double* gains, double* received);

}  // namespace tpc::link
