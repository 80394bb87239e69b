// The points a constellation link sends, as its references (capacity limit,
// uncoded error rate) see them.
#pragma once

#include <string>
#include <vector>

namespace tpcsim {

// The 2^m points the mapper sends (m = floor(log2 M): points 0 ... 2^m - 1,
// each labelled by its index, bit 0 the first coded bit), scaled so that the
// mean energy of all M points of the file is 1. The link scales the noise by
// that mean energy, so with this scaling sigma = NoiseSigma(Es/N0, 1).
struct SignalSet {
    std::vector<double> i, q;
    int bitsPerSymbol = 0;
    size_t size() const { return i.size(); }
};

// Reads the file as the link does (tpc::link::Constellation::Read); throws
// std::runtime_error when it cannot.
SignalSet ReadSignalSet(const std::string& path, int points);

// Points given directly, all of them sent (size a power of two); for tests.
SignalSet SignalSetOf(std::vector<double> i, std::vector<double> q);

}  // namespace tpcsim
