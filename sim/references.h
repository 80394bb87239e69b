// The reference lines of a run: the capacity limit for the code rate and the
// uncoded error rate, for BPSK (binary-input AWGN, the closed form) or for
// the run's constellation and labelling (BICM, hard decisions); over a
// fading channel their averages over the gain (sim/fading_references.h) and,
// for block fading, the outage probability.
#pragma once

#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tpcsim {

// Eb/N0 in dB of the limit: BiAwgnLimitEbN0Db for BPSK, BicmLimitEbN0Db of
// the constellation file otherwise; over fast fading the ergodic limit of
// the same capacity; over block fading the AWGN one, the threshold of the
// outage probability.
double LimitEbN0Db(const SimOptions& options, double codeRate);

// What the limit is, for the header: "binary-input AWGN limit for this rate"
// or "BICM limit of this constellation and labelling ...", and over fading
// which average or threshold it is.
std::string LimitName(const SimOptions& options, double codeRate, int bitsPerSymbol);

// "fast Rayleigh fading", "block Rician fading (K = 3)"; "" over AWGN.
std::string FadingText(const SimOptions& options);

// Short form for the plot: "BI-AWGN limit", "BICM limit", "ergodic BICM
// limit, fast Rayleigh fading" ...; block fading draws no limit line.
std::string LimitLabel(const SimOptions& options);
bool DrawsLimitLine(const SimOptions& options);

// The key of the limit in results.json's "code".
std::string LimitKey(const SimOptions& options);

struct UncodedPoint {
    double ebN0Db = 0, ber = 0;  // Eb per coded bit: Es = m Eb
};

// The uncoded BER of the constellation (UncodedBer), averaged over the gain
// over fading, every 0.1 dB over the plot's Eb/N0 range (the points and the
// limit, widened to whole dB); empty for BPSK over AWGN, whose curve the
// plot draws from its closed form.
std::vector<UncodedPoint> UncodedCurve(const SimOptions& options, double limitDb,
                                       const std::vector<double>& ebN0Points);

// uncoded.csv: "ebn0_db,ber" and a row per point.
std::string FormatUncodedCsv(const std::vector<UncodedPoint>& curve);

struct OutagePoint {
    double ebN0Db = 0, probability = 0;
};

// Block fading: the outage probability at the code's rate (the FER
// reference) over the same range as UncodedCurve; empty otherwise.
std::vector<OutagePoint> OutageCurve(const SimOptions& options, double limitDb,
                                     const std::vector<double>& ebN0Points);

// outage.csv: "ebn0_db,outage_probability" and a row per point.
std::string FormatOutageCsv(const std::vector<OutagePoint>& curve);

}  // namespace tpcsim
