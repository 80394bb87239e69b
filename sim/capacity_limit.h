// The binary-input AWGN capacity limit, the reference line of the error-rate
// plot. The Eb/N0, Es/N0 and noise conversions are the link.s (link/link_description.h).
#pragma once

namespace tpcsim {

// Capacity in bits per channel use of equiprobable +-1 inputs on a real AWGN
// channel of noise standard deviation sigma, by numerical integration.
double BiAwgnCapacity(double sigma);

// The smallest Eb/N0 at which a code of rate R (0 < R < 1) can work on the
// binary-input AWGN channel: the Eb/N0 where BiAwgnCapacity equals R.
double BiAwgnLimitEbN0Db(double codeRate);

}  // namespace tpcsim
