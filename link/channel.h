// The channel of the block engine: code bits to BPSK amplitudes or
// constellation points, plus Gaussian noise, drawn as the nodes' mapper and
// channel draw it: one draw per channel sample in stream order, e for BPSK,
// 2s (I) and 2s + 1 (Q) for symbol s. Symbol s carries code bits s*m ...
// s*m + m-1 (label bit j from the j-th of them), so with m not dividing N
// the last symbol of a block can straddle into the next.
//
// A fading channel (link/fading.h) multiplies every symbol by its gain before
// the noise, BPSK included (2c - 1 on I, then complex noise, I then Q), with
// the gains from a stream of their own. Block fading gives every symbol that
// starts in a code block that block's gain: the gain is drawn once per
// symbols() call, so a symbol straddling into the next block keeps the gain
// of the block it starts in.
#pragma once

#include <cstdint>
#include <vector>

#include "code/aligned_vector.h"
#include "link/fading.h"
#include "link/gaussian_stream.h"
#include "link/link_description.h"

namespace tpc::link {

class Channel {
public:
    // `points`: the constellation (none for BPSK), kept by reference.
    Channel(const Constellation& points, int32_t blockSize, const ChannelModel& model);

    void restart(uint64_t seed) { noise_.reseed(seed); }
    void restartGains(uint64_t seed) { gains_.restart(seed); }
    // BPSK: the block's N unit Gaussian draws; received value i is
    // (2 c_i - 1) + sigma * noise[i], in double, the float draw widened (the
    // receiver fuses that sum into its quantiser, Receiver::bpskLevels).
    const float* bpskNoise();
    // BPSK: the received amplitudes of the block, in order, with noise of
    // standard deviation sigma: the plain path, the same draws and the same
    // double sum as the fused quantiser and the development host's AWGN
    // block, so the same bits.
    void bpsk(const uint8_t* codeBits, double sigma, double* received);
    // The received amplitudes bpsk() makes of code bits and their draws
    // (bpskNoise), for a caller that fused the sum and wants the values all
    // the same (a replayed block).
    void bpskAmplitudes(const uint8_t* codeBits, const float* noise, double sigma, double* received) const;

    // Symbols: the points of the symbols that start in this block at code
    // bit `first` (the bits before it went with the previous block's last
    // symbol), with their noise, into i[] and q[]; `next` is the following
    // code block, read only by a symbol that straddles into it. Returns the
    // number of symbols.
    int32_t symbols(const uint8_t* here, const uint8_t* next, int32_t first, double sigma, double* i, double* q);
    // Fading: as symbols(), through each symbol's gain (BPSK: one symbol per
    // code bit), the gains into gainI[] and gainQ[].
    int32_t fadedSymbols(const uint8_t* here, const uint8_t* next, int32_t first, double sigma, double* i, double* q,
                         double* gainI, double* gainQ);
    // Symbols at most in one block's symbols() call.
    int32_t maxSymbols() const { return blockSize_ / bitsPerSymbol_ + 1; }

private:
    const Constellation& points_;
    int32_t blockSize_;
    int32_t bitsPerSymbol_;
    bool gainPerBlock_;
    // The points the symbols are drawn from: the constellation's, or -1 and +1 for BPSK.
    const double* pointI_;
    const double* pointQ_;
    GaussianStream noise_;
    FadingGains gains_;
    LineAlignedVector<float> gaussians_;  // read by the wide quantiser loop
};

}  // namespace tpc::link
