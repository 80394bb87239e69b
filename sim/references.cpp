#include "sim/references.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/link_spec.h"
#include "sim/bicm_capacity.h"
#include "sim/capacity_limit.h"
#include "sim/signal_set.h"
#include "sim/uncoded_ber.h"

namespace tpcsim {

double LimitEbN0Db(const SimOptions& o, double codeRate) {
    if (o.constellation.empty()) return BiAwgnLimitEbN0Db(codeRate);
    return BicmLimitEbN0Db(ReadSignalSet(o.constellation, o.points), codeRate);
}

std::string LimitName(const SimOptions& o, double codeRate, int bitsPerSymbol) {
    if (o.constellation.empty()) return "binary-input AWGN limit for this rate";
    char text[160];
    std::snprintf(text, sizeof text,
                  "BICM limit of this constellation and labelling for this rate (%.3f bits per symbol)",
                  codeRate * bitsPerSymbol);
    return text;
}

std::string LimitLabel(const SimOptions& o) {
    return o.constellation.empty() ? "BI-AWGN limit" : "BICM limit";
}

std::vector<UncodedPoint> UncodedCurve(const SimOptions& o, double limitDb,
                                       const std::vector<double>& ebN0Points) {
    if (o.constellation.empty()) return {};
    double from = limitDb, to = limitDb;
    for (double p : ebN0Points) from = std::min(from, p), to = std::max(to, p);
    from = std::floor(from - 0.5);
    to = std::ceil(to + 0.5);
    const SignalSet set = ReadSignalSet(o.constellation, o.points);
    std::vector<UncodedPoint> curve;
    std::vector<double> sigmas;
    for (int n = 0; from + n * 0.1 <= to + 1e-9; ++n) {
        const double ebN0Db = from + n * 0.1;
        curve.push_back({ebN0Db, 0});
        sigmas.push_back(tpc::link::NoiseSigma(tpc::link::EsN0DbFromEbN0Db(ebN0Db, 1, set.bitsPerSymbol), 1));
    }
    const std::vector<double> ber = UncodedBer(set, sigmas);
    for (size_t n = 0; n < curve.size(); ++n) curve[n].ber = ber[n];
    return curve;
}

std::string FormatUncodedCsv(const std::vector<UncodedPoint>& curve) {
    std::string csv = "ebn0_db,ber\n";
    char row[64];
    for (const UncodedPoint& p : curve) {
        std::snprintf(row, sizeof row, "%.4f,%.6e\n", p.ebN0Db, p.ber);
        csv += row;
    }
    return csv;
}

}  // namespace tpcsim
