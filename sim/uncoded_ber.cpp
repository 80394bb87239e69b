#include "sim/uncoded_ber.h"

#include <algorithm>
#include <cmath>

namespace tpcsim {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct Vertex {
    double x, y;
    int edge;  // the point whose bisector the edge from here follows; -1 for the box
};

// Keeps the part of a convex polygon where a.y <= b; the new edge follows
// the bisector with point `label`.
std::vector<Vertex> Clip(const std::vector<Vertex>& polygon, double ax, double ay, double b,
                         int label) {
    std::vector<Vertex> out;
    for (size_t k = 0; k < polygon.size(); ++k) {
        const Vertex& from = polygon[k];
        const Vertex& to = polygon[(k + 1) % polygon.size()];
        const double sFrom = ax * from.x + ay * from.y - b, sTo = ax * to.x + ay * to.y - b;
        const bool inFrom = sFrom <= 0, inTo = sTo <= 0;
        const double t = sFrom / (sFrom - sTo);
        const Vertex cut{from.x + t * (to.x - from.x), from.y + t * (to.y - from.y), 0};
        if (inFrom) out.push_back(from);
        if (inFrom && !inTo) out.push_back({cut.x, cut.y, label});
        if (!inFrom && inTo) out.push_back({cut.x, cut.y, from.edge});
    }
    return out;
}

// The points whose decision regions border each point's: its Voronoi cell
// cut out of a box far larger than the noise ever reaches.
std::vector<std::vector<int>> VoronoiNeighbours(const SignalSet& set) {
    double extent = 1;
    for (size_t s = 0; s < set.size(); ++s) extent = std::max({extent, std::fabs(set.i[s]), std::fabs(set.q[s])});
    const double box = 1000 * extent;
    std::vector<std::vector<int>> neighbours(set.size());
    for (size_t c = 0; c < set.size(); ++c) {
        std::vector<Vertex> cell = {{-box, -box, -1}, {box, -box, -1}, {box, box, -1}, {-box, box, -1}};
        for (size_t j = 0; j < set.size() && !cell.empty(); ++j) {
            if (j == c) continue;
            const double ax = set.i[j] - set.i[c], ay = set.q[j] - set.q[c];
            const double b = (set.i[j] * set.i[j] + set.q[j] * set.q[j] - set.i[c] * set.i[c] -
                              set.q[c] * set.q[c]) / 2;
            cell = Clip(cell, ax, ay, b, static_cast<int>(j));
        }
        for (const Vertex& v : cell) {
            std::vector<int>& list = neighbours[c];
            if (v.edge >= 0 && std::find(list.begin(), list.end(), v.edge) == list.end()) {
                list.push_back(v.edge);
            }
        }
    }
    return neighbours;
}

int BitCount(unsigned v) {
    int n = 0;
    for (; v != 0; v &= v - 1) ++n;
    return n;
}

}  // namespace

std::vector<double> UncodedBer(const SignalSet& set, const std::vector<double>& sigmas, int angles) {
    const std::vector<std::vector<int>> neighbours = VoronoiNeighbours(set);
    std::vector<double> inverse2Var, ber(sigmas.size(), 0.0);
    double reach = 0;  // beyond this radius no term is left for any sigma
    for (double sigma : sigmas) {
        inverse2Var.push_back(1 / (2 * sigma * sigma));
        reach = std::max(reach, 40 * sigma);
    }
    struct Crossing {
        double r2;       // squared distance from the sent point
        int bitsChange;  // wrong bits after it minus before it
    };
    std::vector<Crossing> crossings;
    for (size_t sent = 0; sent < set.size(); ++sent) {
        const double xi = set.i[sent], xq = set.q[sent];
        for (int a = 0; a < angles; ++a) {
            // Half a step off the axes, away from the directions that run
            // through a corner of a region in symmetric constellations.
            const double theta = 2 * kPi * (a + 0.5) / angles;
            const double ui = std::cos(theta), uq = std::sin(theta);
            crossings.clear();
            size_t region = sent;
            double r = 0;
            int wrongBits = 0;
            while (r < reach) {
                // y = x + r u is nearer to j than to the region's point past
                // r_j = (|x - p_j|^2 - |x - p_c|^2) / (2 u.(p_j - p_c)).
                const double dci = xi - set.i[region], dcq = xq - set.q[region];
                double next = INFINITY;
                size_t entered = region;
                for (int j : neighbours[region]) {
                    const double toward = ui * (set.i[size_t(j)] - set.i[region]) +
                                          uq * (set.q[size_t(j)] - set.q[region]);
                    if (toward <= 0) continue;
                    const double dji = xi - set.i[size_t(j)], djq = xq - set.q[size_t(j)];
                    const double rj = (dji * dji + djq * djq - dci * dci - dcq * dcq) / (2 * toward);
                    if (rj < next) next = rj, entered = size_t(j);
                }
                if (entered == region) break;  // the region reaches to infinity this way
                r = std::max(r, next);
                region = entered;
                const int bits = BitCount(static_cast<unsigned>(region ^ sent));
                if (bits != wrongBits) crossings.push_back({r * r, bits - wrongBits});
                wrongBits = bits;
            }
            // The region [r_s, r_s+1] with w_s wrong bits holds probability
            // (e^-r_s^2/2v - e^-r_s+1^2/2v) / angles; summed over s that is
            // the sum of e^-r_s^2/2v times the change of w at r_s.
            for (size_t n = 0; n < sigmas.size(); ++n) {
                double sum = 0;
                for (const Crossing& c : crossings) {
                    const double t = c.r2 * inverse2Var[n];
                    if (t < 745) sum += c.bitsChange * std::exp(-t);
                }
                ber[n] += sum;
            }
        }
    }
    const double norm = 1.0 / (static_cast<double>(set.size()) * angles * set.bitsPerSymbol);
    for (double& b : ber) b *= norm;
    return ber;
}

}  // namespace tpcsim
