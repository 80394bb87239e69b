#include "sim/fading_references.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "link/link_description.h"

namespace tpcsim {

namespace {

constexpr double kLn10 = 2.30258509299404568402;
constexpr double kPi = 3.14159265358979323846;

// ln I0(z): the library's Bessel function while it stays finite, then the
// asymptotic series (relative error below 1e-9 from z = 500).
double LogBesselI0(double z) {
    if (z < 500) return std::log(std::cyl_bessel_i(0.0, z));
    return z - 0.5 * std::log(2 * kPi * z) + std::log1p(1 / (8 * z) + 9 / (128 * z * z));
}

// ln of the density of t = ln u: the density of u times u.
double LogDensityOfLogGain(double ricianK, double t) {
    const double u = std::exp(t);
    return t + std::log(ricianK + 1) - ricianK - (ricianK + 1) * u +
           LogBesselI0(2 * std::sqrt(ricianK * (ricianK + 1) * u));
}

// The regularised lower incomplete gamma P(a, y) for a whole a >= 1: its
// series while small (no cancellation for the small outages that matter),
// else 1 minus the finite sum of the upper part.
double LowerGammaRatio(int a, double y) {
    if (y < a) {
        double term = 1, sum = 1;
        for (int n = 1; n < 10000 && term > 1e-17 * sum; ++n) sum += term *= y / (a + n);
        return std::exp(-y + a * std::log(y) - std::lgamma(a + 1.0)) * sum;
    }
    double upper = 0;
    for (int i = 0; i < a; ++i) upper += std::exp(-y + i * std::log(y) - std::lgamma(i + 1.0));
    return std::max(0.0, 1 - upper);
}

}  // namespace

double RayleighBpskBer(double ebN0Db) {
    const double g = std::pow(10.0, ebN0Db / 10);
    return 0.5 * (1 - std::sqrt(g / (1 + g)));
}

double FadingGainCdf(double ricianK, double powerGain) {
    if (!(powerGain > 0)) return 0;
    // (K + 1) u is half a noncentral chi-square of 2 degrees of freedom and
    // noncentrality 2K: a gamma of shape k + 1 with k ~ Poisson(K).
    const double y = (ricianK + 1) * powerGain;
    const int last = static_cast<int>(ricianK + 40 * std::sqrt(ricianK + 1) + 40);
    double cdf = 0;
    for (int k = 0; k <= last; ++k) {
        const double poisson =
            ricianK > 0 ? std::exp(-ricianK + k * std::log(ricianK) - std::lgamma(k + 1.0)) : (k == 0 ? 1 : 0);
        if (poisson == 0 && k > ricianK) break;
        cdf += poisson * LowerGammaRatio(k + 1, y);
    }
    return std::min(cdf, 1.0);
}

double GainStepDb(double ricianK, double coarsest) {
    const double spreadOfLogGain = std::sqrt(2 * ricianK + 1) / (ricianK + 1);
    return std::min(coarsest, spreadOfLogGain / 2 * 10 / kLn10);
}

std::vector<double> FadingAverage(double ricianK, double firstDb, double stepDb, int count, double floorDb,
                                  const AwgnCurve& awgn) {
    const double h = stepDb * kLn10 / 10;  // the step in ln u
    auto logGainAt = [h](long j) { return static_cast<double>(j) * h; };
    // The top gain: past the mean, where the weights no longer count.
    long top = 0;
    while (std::exp(logGainAt(top)) < 2 || LogDensityOfLogGain(ricianK, logGainAt(top)) > std::log(1e-22)) ++top;
    const long floorIndex = static_cast<long>(std::ceil((floorDb - firstDb) / stepDb - 1e-9));
    const long bottom = std::min(top, std::max(floorIndex - (count - 1), static_cast<long>(-300 / stepDb)));
    // weight[j - bottom] and above[j - bottom] = the sum of the weights above j.
    const size_t nodes = static_cast<size_t>(top - bottom + 1);
    std::vector<double> weight(nodes), above(nodes + 1, 0.0);
    for (size_t n = 0; n < nodes; ++n) {
        weight[n] = h * std::exp(LogDensityOfLogGain(ricianK, logGainAt(bottom + static_cast<long>(n))));
    }
    for (size_t n = nodes; n-- > 0;) above[n] = above[n + 1] + (n + 1 < nodes ? weight[n + 1] : 0.0);
    // Target n's lowest gain node, which carries the mass of all gains below.
    auto lowest = [&](int n) { return std::clamp(floorIndex - n, bottom, top); };
    const long kLow = lowest(0), kHigh = count - 1 + top;
    std::vector<double> esN0Db;
    for (long k = kLow; k <= kHigh; ++k) esN0Db.push_back(firstDb + static_cast<double>(k) * stepDb);
    const std::vector<double> value = awgn(esN0Db);
    std::vector<double> average(static_cast<size_t>(count), 0.0);
    for (int n = 0; n < count; ++n) {
        const long low = lowest(n);
        auto at = [&](long j) { return value[static_cast<size_t>(n + j - kLow)]; };
        double sum = (1 - above[static_cast<size_t>(low - bottom)]) * at(low);
        for (long j = low + 1; j <= top; ++j) sum += weight[static_cast<size_t>(j - bottom)] * at(j);
        average[static_cast<size_t>(n)] = sum;
    }
    return average;
}

double ErgodicLimitEbN0Db(const std::function<double(double esN0Db)>& capacityAt, int bitsPerSymbol,
                          double codeRate, double ricianK, double awgnLimitEsN0Db) {
    const double target = codeRate * bitsPerSymbol;
    if (target >= bitsPerSymbol) return INFINITY;
    const double step = GainStepDb(ricianK, 0.5);
    // Capacities on the lattice k step dB, each computed once; past the
    // saturation the rest of a call is the full m.
    std::map<long, double> known;
    const AwgnCurve capacities = [&](const std::vector<double>& esN0Db) {
        std::vector<double> c;
        for (double db : esN0Db) {
            const long k = std::lround(db / step);
            auto it = known.find(k);
            if (it == known.end()) {
                const bool full = !c.empty() && c.back() > bitsPerSymbol - 1e-10;
                it = known.emplace(k, full ? bitsPerSymbol : capacityAt(static_cast<double>(k) * step)).first;
            }
            c.push_back(it->second);
        }
        return c;
    };
    // Fades 40 dB deep or more hold so little capacity that they are lumped.
    auto ergodic = [&](long k) {
        const double db = static_cast<double>(k) * step;
        return FadingAverage(ricianK, db, step, 1, db - 40, capacities)[0];
    };
    long k = std::lround(awgnLimitEsN0Db / step);  // fading only costs: the root is at or above it
    while (ergodic(k) >= target) --k;
    while (ergodic(k + 1) < target) ++k;
    // The cubic through k - 1 ... k + 2, solved in [k, k + 1] by bisection.
    const double e[4] = {ergodic(k - 1), ergodic(k), ergodic(k + 1), ergodic(k + 2)};
    auto cubic = [&e](double x) {  // x from 0 at k - 1
        double sum = 0;
        for (int i = 0; i < 4; ++i) {
            double term = e[i];
            for (int j = 0; j < 4; ++j) {
                if (j != i) term *= (x - j) / (i - j);
            }
            sum += term;
        }
        return sum;
    };
    double lo = 1, hi = 2;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (cubic(mid) < target ? lo : hi) = mid;
    }
    const double esN0Db = (static_cast<double>(k - 1) + (lo + hi) / 2) * step;
    return tpc::link::EbN0DbFromEsN0Db(esN0Db, codeRate, bitsPerSymbol);
}

double OutageProbability(double ricianK, double awgnLimitEbN0Db, double ebN0Db) {
    return FadingGainCdf(ricianK, std::pow(10.0, (awgnLimitEbN0Db - ebN0Db) / 10));
}

}  // namespace tpcsim
