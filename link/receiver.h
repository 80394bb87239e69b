// The receiving end of the block engine, as the LLR calculator and the
// decoder node treat a block: LLRs from the table (constellations) or the
// BPSK quantiser, the received values put where the deinterleaver puts them,
// and the product decoder.
//
//   symbols -> LLR table lookup (m per symbol, in bit order; the LLRs of a
//              symbol that straddles into the next block wait for it)
//   BPSK    -> quantiser levels
//
// Over a fading channel the receiver knows each symbol's gain h:
//   BPSK    -> Re(conj(h) y) = |h|^2 (2c - 1) + noise, unscaled (E|h|^2 = 1:
//              the quantiser sees the mean amplitude it sees over AWGN)
//   table   -> the entries at the equalised point y/h times |h|^2. Exact for
//              max-log LLRs (linear in the SNR); for the table's log-sum-exp
//              LLRs an approximation, and a point equalised beyond the grid
//              takes the edge cell's entries.
//   exact   -> ln sum_{x: bit k = 1} exp(-|y - h x|^2 / N0) - ln sum_{bit k = 0},
//              at the table's Es/N0, on the table's scale (so that with h = 1
//              it is the table's entry without the grid's rounding of y)
// With one gain per block the weight |h|^2 is the same for every value of a
// block: it is left out (divided out of BPSK's and the exact LLRs), so that
// within each block the quantiser and the decoder see the amplitudes they see
// over AWGN, and a block in a deep fade keeps its resolution.
// Scaled and exact LLRs are odd integers, 2 ceil(v) - 1 as the table rounds
// its entries, within the decoder's +-31.
//           -> deinterleave (value i to position placement[i]) -> decode
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "code/aligned_vector.h"
#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "link/link_description.h"
#include "llr/llr_table.h"

namespace tpc::link {

class Receiver {
public:
    // Builds the LLR table of a constellation link; throws as the LLR
    // calculator refuses its parameters. The code and decoder settings must
    // pass their checks.
    explicit Receiver(const PreparedLink& link);

    // Forgets the last run: channel values, decisions and a waiting symbol.
    void restart();

    // BPSK amplitudes of code bits with the noise drawn for them, quantised
    // in one pass, where the quantiser allows it (fusesBpsk()).
    bool fusesBpsk() const { return quantizer_ && quantizer_->LevelsFitTruncation(); }
    void bpskLevels(const uint8_t* codeBits, const float* noise, double sigma);
    // Received BPSK amplitudes, quantised one by one.
    void bpskAmplitudes(const double* received);

    // Constellations: LLR values of the LLRs carried over from the last
    // block's straddling symbol, then of `count` received points.
    int32_t carried() const { return carried_; }
    void symbolLlrs(const double* i, const double* q, int32_t count);
    // The same with each point's gain (gainI, gainQ; nullptr: unit gains, an
    // AWGN link asking for exact LLRs): scaled table entries or exact LLRs.
    void symbolLlrs(const double* i, const double* q, const double* gainI, const double* gainQ, int32_t count);
    // Fading BPSK: received points and their gains, matched and quantised.
    void fadedBpsk(const double* i, const double* q, const double* gainI, const double* gainQ);
    // The block's LLRs (from symbolLlrs) as the decoder's channel values.
    void placeLlrs();

    // Decodes the channel values placed last; returns the passes run.
    int32_t decode() { return decoder_.Decode(channel_.data(), decisions_.data()); }
    const int32_t* decisions() const { return decisions_.data(); }
    // The decoder's channel values, as placed last.
    const int32_t* channelValues() const { return channel_.data(); }

private:
    void place();  // levels_ in arrival order to their places in channel_
    // Appends the m LLRs each of `count` symbols, llrsOf(s, out) giving symbol
    // s's; those past the block wait for the next.
    template <class SymbolLlrs>
    void collect(int32_t count, SymbolLlrs llrsOf);
    // Symbol LLRs with channel knowledge, as integers in the decoder's range.
    void scaledTableLlrs(double i, double q, double gainI, double gainQ, int32_t* out) const;
    void exactLlrs(double i, double q, double gainI, double gainQ, int32_t* out) const;

    int32_t blockSize_;
    int32_t bitsPerSymbol_;
    double llrLimit_;
    bool deinterleave_;
    bool weighByGain_;  // fast fading: each value weighed by its symbol's |h|^2
    std::vector<int32_t> placement_;  // received value i goes to channel_[placement_[i]]
    std::optional<BpskQuantizer> quantizer_;
    ProductDecoder decoder_;
    std::vector<double> table_;   // the LLR table of a constellation link
    bool exactLlrs_;
    std::vector<double> pointI_, pointQ_;  // the constellation, for exact LLRs
    double metricFactor_ = 0;              // the table's 1/N0 over its Es
    double rawToEntry_ = 0;                // natural-log LLRs to table units
    std::vector<double> llrs_;    // a block's LLRs in arrival order
    int32_t carried_ = 0;
    int32_t carry_[kMaxBitsPerSymbol] = {};
    // The decoder works in channel_ and decisions_ with its widest vectors.
    LineAlignedVector<int32_t> levels_, channel_, decisions_;
};

}  // namespace tpc::link
