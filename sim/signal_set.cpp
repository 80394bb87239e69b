#include "sim/signal_set.h"

#include <cmath>
#include <stdexcept>

#include "link/link_description.h"

namespace tpcsim {

namespace {

SignalSet Scaled(const std::vector<double>& i, const std::vector<double>& q, int bitsPerSymbol) {
    double energy = 0;
    for (size_t s = 0; s < i.size(); ++s) energy += i[s] * i[s] + q[s] * q[s];
    energy /= static_cast<double>(i.size());
    if (!(energy > 0)) throw std::runtime_error("a constellation with all points at 0");
    const double scale = 1 / std::sqrt(energy);
    SignalSet set;
    set.bitsPerSymbol = bitsPerSymbol;
    for (size_t s = 0; s < (size_t{1} << bitsPerSymbol); ++s) {
        set.i.push_back(i[s] * scale);
        set.q.push_back(q[s] * scale);
    }
    return set;
}

}  // namespace

SignalSet ReadSignalSet(const std::string& path, int points) {
    const tpc::link::Constellation c = tpc::link::Constellation::Read(path, points);
    return Scaled(c.i, c.q, c.bitsPerSymbol);
}

SignalSet SignalSetOf(std::vector<double> i, std::vector<double> q) {
    int m = 0;
    while ((size_t{2} << m) <= i.size()) ++m;
    if (i.size() != q.size() || (size_t{1} << m) != i.size() || m == 0) {
        throw std::invalid_argument("a signal set needs 2, 4, 8 ... points");
    }
    return Scaled(i, q, m);
}

}  // namespace tpcsim
