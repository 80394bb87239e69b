#include "sim/references.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/link_description.h"
#include "sim/bicm_capacity.h"
#include "sim/capacity_limit.h"
#include "sim/fading_references.h"
#include "sim/signal_set.h"
#include "sim/text_format.h"
#include "sim/uncoded_ber.h"

namespace tpcsim {

namespace {

constexpr double kCurveStepDb = 0.1;
// Fades below this Es/N0 count at it in the uncoded curve: the BER there is
// within 0.02 of 1/2, so the error is below 1e-4 of the average.
constexpr double kUncodedFloorDb = -30;

bool Fades(const SimOptions& o) { return o.channel != "awgn"; }
bool BlockFading(const SimOptions& o) { return Fades(o) && o.fading == "block"; }
double RicianK(const SimOptions& o) { return o.channel == "rician" ? o.ricianK : 0; }

double AwgnLimitEbN0Db(const SimOptions& o, double codeRate) {
    if (o.constellation.empty()) return BiAwgnLimitEbN0Db(codeRate);
    return BicmLimitEbN0Db(ReadSignalSet(o.constellation, o.points), codeRate);
}

// The Eb/N0 grid of the curves: every 0.1 dB over the points and the limit,
// widened to whole dB.
std::vector<double> CurveGrid(double limitDb, const std::vector<double>& ebN0Points) {
    double from = limitDb, to = limitDb;
    for (double p : ebN0Points) from = std::min(from, p), to = std::max(to, p);
    from = std::floor(from - 0.5);
    to = std::ceil(to + 0.5);
    std::vector<double> grid;
    for (int n = 0; from + n * kCurveStepDb <= to + 1e-9; ++n) grid.push_back(from + n * kCurveStepDb);
    return grid;
}

// The uncoded BER over fading at Es/N0 = firstDb + n 0.1 dB: the AWGN BER
// averaged on the curve's lattice, or a finer one for a large K.
std::vector<double> FadingUncodedBer(const SignalSet& set, double ricianK, double firstDb, int count) {
    const int finer = static_cast<int>(std::ceil(kCurveStepDb / GainStepDb(ricianK, kCurveStepDb) - 1e-9));
    const double step = kCurveStepDb / finer;
    const std::vector<double> fine =
        FadingAverage(ricianK, firstDb, step, (count - 1) * finer + 1, kUncodedFloorDb, [&](const std::vector<double>& db) {
            std::vector<double> sigmas;
            for (double esN0Db : db) sigmas.push_back(tpc::link::NoiseSigma(esN0Db, 1));
            return UncodedBer(set, sigmas);
        });
    std::vector<double> ber;
    for (int n = 0; n < count; ++n) ber.push_back(fine[static_cast<size_t>(n * finer)]);
    return ber;
}

}  // namespace

std::string FadingText(const SimOptions& o) {
    if (!Fades(o)) return "";
    std::string text = o.fading + (o.channel == "rician" ? " Rician fading" : " Rayleigh fading");
    if (o.channel == "rician") text += Format(" (K = %g)", o.ricianK);
    return text;
}

double LimitEbN0Db(const SimOptions& o, double codeRate) {
    const double awgn = AwgnLimitEbN0Db(o, codeRate);
    if (!Fades(o) || BlockFading(o)) return awgn;
    if (o.constellation.empty()) {
        return ErgodicLimitEbN0Db([](double esN0Db) { return BiAwgnCapacity(tpc::link::NoiseSigma(esN0Db, 1)); },
                                  1, codeRate, RicianK(o), tpc::link::EsN0DbFromEbN0Db(awgn, codeRate, 1));
    }
    const SignalSet set = ReadSignalSet(o.constellation, o.points);
    return ErgodicLimitEbN0Db(
        [&set](double esN0Db) { return BicmCapacity(set, tpc::link::NoiseSigma(esN0Db, 1)); }, set.bitsPerSymbol,
        codeRate, RicianK(o), tpc::link::EsN0DbFromEbN0Db(awgn, codeRate, set.bitsPerSymbol));
}

std::string LimitName(const SimOptions& o, double codeRate, int bitsPerSymbol) {
    const bool bpsk = o.constellation.empty();
    if (BlockFading(o)) {
        return std::string(bpsk ? "binary-input AWGN limit" : "BICM limit of this constellation and labelling") +
               " for this rate, which a block's Eb/N0 |h|^2 must pass over " + FadingText(o) +
               " (the outage probability is the FER reference)";
    }
    const std::string fading = Fades(o) ? " over " + FadingText(o) : "";
    if (bpsk) return (Fades(o) ? "ergodic binary-input limit for this rate" : "binary-input AWGN limit for this rate") + fading;
    return Format("%sBICM limit of this constellation and labelling for this rate (%.3f bits per symbol)%s",
                  Fades(o) ? "ergodic " : "", codeRate * bitsPerSymbol, fading.c_str());
}

std::string LimitLabel(const SimOptions& o) {
    const std::string awgn = o.constellation.empty() ? "BI-AWGN limit" : "BICM limit";
    if (!Fades(o)) return awgn;
    return (o.constellation.empty() ? "ergodic BI limit, " : "ergodic BICM limit, ") + FadingText(o);
}

bool DrawsLimitLine(const SimOptions& o) { return !BlockFading(o); }

std::string LimitKey(const SimOptions& o) {
    if (BlockFading(o)) return "outage_threshold_ebn0_db";
    if (Fades(o)) return "ergodic_limit_ebn0_db";
    return o.constellation.empty() ? "biawgn_limit_ebn0_db" : "bicm_limit_ebn0_db";
}

std::vector<UncodedPoint> UncodedCurve(const SimOptions& o, double limitDb,
                                       const std::vector<double>& ebN0Points) {
    if (o.constellation.empty() && !Fades(o)) return {};
    const std::vector<double> grid = CurveGrid(limitDb, ebN0Points);
    std::vector<UncodedPoint> curve;
    for (double ebN0Db : grid) curve.push_back({ebN0Db, 0});
    if (o.constellation.empty() && RicianK(o) == 0) {
        for (UncodedPoint& p : curve) p.ber = RayleighBpskBer(p.ebN0Db);
        return curve;
    }
    const SignalSet set =
        o.constellation.empty() ? SignalSetOf({1, -1}, {0, 0}) : ReadSignalSet(o.constellation, o.points);
    const double firstEsN0Db = tpc::link::EsN0DbFromEbN0Db(grid.front(), 1, set.bitsPerSymbol);
    std::vector<double> ber;
    if (Fades(o)) {
        ber = FadingUncodedBer(set, RicianK(o), firstEsN0Db, static_cast<int>(grid.size()));
    } else {
        std::vector<double> sigmas;
        for (double ebN0Db : grid) {
            sigmas.push_back(tpc::link::NoiseSigma(tpc::link::EsN0DbFromEbN0Db(ebN0Db, 1, set.bitsPerSymbol), 1));
        }
        ber = UncodedBer(set, sigmas);
    }
    for (size_t n = 0; n < curve.size(); ++n) curve[n].ber = ber[n];
    return curve;
}

namespace {

// "ebn0_db,COLUMN" and a row per point of a reference curve.
template <class Point>
std::string FormatCurveCsv(const char* column, const std::vector<Point>& curve, double Point::*value) {
    std::string csv = std::string("ebn0_db,") + column + "\n";
    char row[64];
    for (const Point& p : curve) {
        std::snprintf(row, sizeof row, "%.4f,%.6e\n", p.ebN0Db, p.*value);
        csv += row;
    }
    return csv;
}

}  // namespace

std::string FormatUncodedCsv(const std::vector<UncodedPoint>& curve) {
    return FormatCurveCsv("ber", curve, &UncodedPoint::ber);
}

std::vector<OutagePoint> OutageCurve(const SimOptions& o, double limitDb, const std::vector<double>& ebN0Points) {
    if (!BlockFading(o)) return {};
    std::vector<OutagePoint> curve;
    for (double ebN0Db : CurveGrid(limitDb, ebN0Points)) {
        curve.push_back({ebN0Db, OutageProbability(RicianK(o), limitDb, ebN0Db)});
    }
    return curve;
}

std::string FormatOutageCsv(const std::vector<OutagePoint>& curve) {
    return FormatCurveCsv("outage_probability", curve, &OutagePoint::probability);
}

}  // namespace tpcsim
