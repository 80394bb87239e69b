// Signal-to-noise conversions and the two reference curves of the error-rate
// plot: uncoded BPSK and the binary-input AWGN capacity limit.
//
// Conventions: Eb is the energy per information bit, Es per channel symbol,
// N0 the one-sided noise density; a symbol carries m coded bits of a code of
// rate R, so Es = R * m * Eb. All ratios in dB unless the name says Linear.
#pragma once

namespace tpcsim {

double DbToLinear(double db);
double LinearToDb(double linear);

double EsN0FromEbN0(double ebN0Db, double codeRate, int bitsPerSymbol);
double EbN0FromEsN0(double esN0Db, double codeRate, int bitsPerSymbol);

// Noise standard deviation per real dimension (sqrt(N0 / 2)) for symbols of
// mean energy `symbolEnergy` at the given Es/N0.
double NoiseSigmaFor(double esN0Db, double symbolEnergy);

// Bit error rate of uncoded BPSK: Q(sqrt(2 Eb/N0)).
double UncodedBpskBer(double ebN0Db);

// Capacity in bits per channel use of equiprobable +-1 inputs on a real AWGN
// channel of noise standard deviation sigma, by numerical integration.
double BiAwgnCapacity(double sigma);

// The smallest Eb/N0 at which a code of rate R (0 < R < 1) can work on the
// binary-input AWGN channel: the Eb/N0 where BiAwgnCapacity equals R.
double BiAwgnLimitEbN0Db(double codeRate);

}  // namespace tpcsim
