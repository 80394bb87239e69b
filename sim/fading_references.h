// The references of a link over fading with perfect channel knowledge: the
// AWGN references averaged over the power gain u = |h|^2 of unit mean
// (Rician with line-of-sight to scattered power K; K = 0 is Rayleigh, u
// exponential), and the outage probability of block fading.
//
// Averages are taken by the trapezoidal rule in t = ln u on a lattice of
// gains uniform in dB: the density of t decays exponentially to the left and
// doubly exponentially to the right, so the rule converges exponentially with
// the step (at 0.5 dB, E[u] comes out 1 within 4e-15 for K = 0 and 4, and
// for K = 100 at the 0.3 dB GainStepDb gives; the step must resolve the
// spread of ln u, about sqrt(2K+1)/(K+1)). Fades that take the Es/N0 below
// a floor are lumped at the floor: the AWGN quantity is evaluated there for
// their mass (for the BER with a -30 dB floor, 2.4e-5 of the Rayleigh BPSK
// average at 20 dB).
#pragma once

#include <functional>
#include <vector>

namespace tpcsim {

// Closed form of the BER of BPSK over Rayleigh fading, coherent detection:
// 0.5 (1 - sqrt(g / (1 + g))), g = Eb/N0 (linear).
double RayleighBpskBer(double ebN0Db);

// P[u <= powerGain]: the noncentral chi-square CDF with 2 degrees of
// freedom, as a Poisson(K) mixture of gamma CDFs (1 - e^-x for Rayleigh).
double FadingGainCdf(double ricianK, double powerGain);

// The lattice step (dB) of the gain quadrature: `coarsest`, or finer for a
// large K so that the spread of ln u spans at least two steps.
double GainStepDb(double ricianK, double coarsest);

// The AWGN quantity at Es/N0 values in dB, given in rising order.
using AwgnCurve = std::function<std::vector<double>(const std::vector<double>& esN0Db)>;

// E_u[awgn(esN0Db + 10 log10 u)] for esN0Db = firstDb + n stepDb, n < count;
// the gain lattice is that of the targets (gains j stepDb), so `awgn` is
// called once, on the lattice from floorDb up.
std::vector<double> FadingAverage(double ricianK, double firstDb, double stepDb, int count, double floorDb,
                                  const AwgnCurve& awgn);

// The Eb/N0 (dB) where the ergodic capacity E_u[C(Es/N0 u)] equals
// codeRate * bitsPerSymbol, for a capacity `capacityAt(esN0Db)` in bits per
// symbol of at most bitsPerSymbol that rises with the Es/N0. The root is
// found on a 0.5 dB lattice (finer for a large K) and placed by cubic
// interpolation between its neighbours; `awgnLimitEsN0Db` starts the search.
double ErgodicLimitEbN0Db(const std::function<double(double esN0Db)>& capacityAt, int bitsPerSymbol,
                          double codeRate, double ricianK, double awgnLimitEsN0Db);

// The probability that one gain for the whole block leaves its Eb/N0 below
// the AWGN limit of the code's rate: FadingGainCdf at the ratio of the two.
double OutageProbability(double ricianK, double awgnLimitEbN0Db, double ebN0Db);

}  // namespace tpcsim
