#include "sim/bicm_capacity.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "link/link_description.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"

namespace tpcsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Quadrature {
    std::vector<double> x, w;  // nodes and weights for the weight exp(-x^2)
};

// Gauss-Hermite nodes by Newton's method on the normalised Hermite
// recurrence, each root started from the asymptotic guesses.
Quadrature GaussHermite(int n) {
    Quadrature g{std::vector<double>(size_t(n)), std::vector<double>(size_t(n))};
    const double pim4 = 1 / std::pow(kPi, 0.25);
    double z = 0, pp = 0;
    for (int i = 0; i < (n + 1) / 2; ++i) {
        if (i == 0) z = std::sqrt(2.0 * n + 1) - 1.85575 * std::pow(2.0 * n + 1, -0.16667);
        else if (i == 1) z -= 1.14 * std::pow(double(n), 0.426) / z;
        else if (i == 2) z = 1.86 * z - 0.86 * g.x[0];
        else if (i == 3) z = 1.91 * z - 0.91 * g.x[1];
        else z = 2 * z - g.x[size_t(i - 2)];
        for (int iteration = 0; iteration < 100; ++iteration) {
            double p1 = pim4, p2 = 0;
            for (int j = 0; j < n; ++j) {
                const double p3 = p2;
                p2 = p1;
                p1 = z * std::sqrt(2.0 / (j + 1)) * p2 - std::sqrt(double(j) / (j + 1)) * p3;
            }
            pp = std::sqrt(2.0 * n) * p2;
            const double previous = z;
            z -= p1 / pp;
            if (std::fabs(z - previous) <= 1e-14 * std::max(1.0, std::fabs(z))) break;
        }
        g.x[size_t(i)] = z;
        g.x[size_t(n - 1 - i)] = -z;
        g.w[size_t(i)] = g.w[size_t(n - 1 - i)] = 2 / (pp * pp);
    }
    return g;
}

// Sum over bits k of log2(all / those sharing bit k with `sent`) at y.
// Terms below e^-50 of the largest are left out, they cannot move a sum;
// the sent point's never is, so that no sum is empty.
double BitLoss(const SignalSet& set, size_t sent, double yi, double yq, double twoVar) {
    const size_t count = set.size();
    std::array<double, tpc::kMaxConstellationPoints> metric{};
    double best = INFINITY;
    for (size_t j = 0; j < count; ++j) {
        const double di = yi - set.i[j], dq = yq - set.q[j];
        metric[j] = (di * di + dq * dq) / twoVar;
        best = std::min(best, metric[j]);
    }
    std::array<double, tpc::kMaxBitsPerSymbol> same{};
    double all = 0;
    for (size_t j = 0; j < count; ++j) {
        if (metric[j] - best > 50 && j != sent) continue;
        const double p = std::exp(best - metric[j]);
        all += p;
        const size_t agree = ~(j ^ sent);
        for (int k = 0; k < set.bitsPerSymbol; ++k) same[size_t(k)] += (agree >> k & 1) ? p : 0.0;
    }
    double loss = 0;
    for (int k = 0; k < set.bitsPerSymbol; ++k) loss += std::log2(all / same[size_t(k)]);
    return loss;
}

}  // namespace

double BicmCapacity(const SignalSet& set, double sigma, int nodes) {
    const Quadrature g = GaussHermite(nodes);
    const double scale = std::sqrt(2.0) * sigma, twoVar = 2 * sigma * sigma;
    double loss = 0;
    for (size_t sent = 0; sent < set.size(); ++sent) {
        for (int a = 0; a < nodes; ++a) {
            for (int b = 0; b < nodes; ++b) {
                const double weight = g.w[size_t(a)] * g.w[size_t(b)];
                loss += weight * BitLoss(set, sent, set.i[sent] + scale * g.x[size_t(a)],
                                         set.q[sent] + scale * g.x[size_t(b)], twoVar);
            }
        }
    }
    return set.bitsPerSymbol - loss / kPi / static_cast<double>(set.size());
}

namespace {

// The Es/N0 (dB) where the capacity of `nodes` per dimension reaches
// `target`, by regula falsi with the Illinois step from a bracket: the
// capacity rises smoothly in dB, so a handful of capacities do.
double EsN0DbAt(const SignalSet& set, double target, int nodes, double lo, double hi,
                double tolerance) {
    auto excess = [&](double esN0Db) {
        return BicmCapacity(set, tpc::link::NoiseSigma(esN0Db, 1.0), nodes) - target;
    };
    const double width = hi - lo;
    double fLo = excess(lo), fHi = excess(hi);
    while (fHi < 0) {  // the gap to the Gaussian-input limit grows with the rate
        lo = hi, fLo = fHi;
        hi += width;
        fHi = excess(hi);
    }
    while (fLo > 0) {
        hi = lo, fHi = fLo;
        lo -= width;
        fLo = excess(lo);
    }
    double root = lo;
    int side = 0;
    for (int i = 0; i < 100 && hi - lo > tolerance; ++i) {
        root = (lo * fHi - hi * fLo) / (fHi - fLo);
        const double f = excess(root);
        if (std::fabs(f) < 1e-10) break;
        if (f < 0) {
            lo = root, fLo = f;
            if (side == -1) fHi /= 2;
            side = -1;
        } else {
            hi = root, fHi = f;
            if (side == 1) fLo /= 2;
            side = 1;
        }
    }
    return root;
}

}  // namespace

double BicmLimitEbN0Db(const SignalSet& set, double codeRate) {
    const double target = codeRate * set.bitsPerSymbol;
    if (target >= set.bitsPerSymbol) return INFINITY;
    // No input reaches the target below the Gaussian-input limit
    // log2(1 + Es/N0) = target. A coarse quadrature finds the root, the full
    // one refines it in a bracket of +-0.05 dB.
    const double shannonDb = 10 * std::log10(std::pow(2.0, target) - 1);
    const double coarse = EsN0DbAt(set, target, 12, shannonDb, shannonDb + 5, 1e-3);
    const double esN0Db = EsN0DbAt(set, target, 32, coarse - 0.05, coarse + 0.05, 1e-6);
    return tpc::link::EbN0DbFromEsN0Db(esN0Db, codeRate, set.bitsPerSymbol);
}

}  // namespace tpcsim
