// The limit of bit-interleaved coded modulation over a constellation and its
// labelling: the reference line of a constellation run (the binary-input
// AWGN limit in sim/capacity_limit.h stays the one of BPSK runs).
#pragma once

#include "sim/signal_set.h"

namespace tpcsim {

// BICM capacity in bits per symbol of equiprobable points on a complex AWGN
// channel of noise standard deviation sigma per real dimension:
//   m - sum over bits k of E[log2(sum_x p(y|x) / sum_{x: bit k of x = bit k sent} p(y|x))],
// the expectation over the sent point and the noise by Gauss-Hermite
// quadrature in I and Q (`nodes` per dimension).
double BicmCapacity(const SignalSet& set, double sigma, int nodes = 32);

// The Eb/N0 (dB) at which BicmCapacity equals the code rate times m, Eb
// being the energy per information bit; +infinity for a rate of 1.
double BicmLimitEbN0Db(const SignalSet& set, double codeRate);

}  // namespace tpcsim
