// The error rate of a constellation without a code: hard (minimum-distance)
// decisions on each received symbol, the reference curve of a constellation
// run (uncoded BPSK keeps its closed form in the plot).
#pragma once

#include <vector>

#include "sim/signal_set.h"

namespace tpcsim {

// Bit error rate of hard decisions for each noise standard deviation (per
// real dimension). Computed, not simulated: around each sent point the
// Gaussian is integrated in polar coordinates; along each of `angles` rays
// the decision regions crossed are found from the Voronoi neighbours, and
// the radial integral over each is exact, leaving a periodic sum over the
// angle (trapezoidal rule).
std::vector<double> UncodedBer(const SignalSet& set, const std::vector<double>& sigmas,
                               int angles = 512);

}  // namespace tpcsim
