// The reference lines of a run: the capacity limit for the code rate and the
// uncoded error rate, for BPSK (binary-input AWGN, the closed form) or for
// the run's constellation and labelling (BICM, hard decisions).
#pragma once

#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tpcsim {

// Eb/N0 in dB of the limit: BiAwgnLimitEbN0Db for BPSK, BicmLimitEbN0Db of
// the constellation file otherwise.
double LimitEbN0Db(const SimOptions& options, double codeRate);

// What the limit is, for the header: "binary-input AWGN limit for this rate"
// or "BICM limit of this constellation and labelling ...".
std::string LimitName(const SimOptions& options, double codeRate, int bitsPerSymbol);

// Short form for the plot: "BI-AWGN limit" or "BICM limit".
std::string LimitLabel(const SimOptions& options);

struct UncodedPoint {
    double ebN0Db = 0, ber = 0;  // Eb per coded bit: Es = m Eb
};

// The uncoded BER of the constellation (UncodedBer) every 0.1 dB over the
// plot's Eb/N0 range (the points and the limit, widened to whole dB); empty
// for BPSK, whose curve the plot draws from its closed form.
std::vector<UncodedPoint> UncodedCurve(const SimOptions& options, double limitDb,
                                       const std::vector<double>& ebN0Points);

// uncoded.csv: "ebn0_db,ber" and a row per point.
std::string FormatUncodedCsv(const std::vector<UncodedPoint>& curve);

}  // namespace tpcsim
