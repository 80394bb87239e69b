// The receiving end of the block engine, as the LLR calculator and the
// decoder node treat a block: LLRs from the table (constellations) or the
// BPSK quantiser, the received values put where the deinterleaver puts them,
// and the product decoder.
//
//   symbols -> LLR table lookup (m per symbol, in bit order; the LLRs of a
//              symbol that straddles into the next block wait for it)
//   BPSK    -> quantiser levels
//           -> deinterleave (value i to position placement[i]) -> decode
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "link/link_spec.h"
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
    void bpskLevels(const uint8_t* codeBits, const double* noise, double sigma);
    // Received BPSK amplitudes, quantised one by one.
    void bpskAmplitudes(const double* received);

    // Constellations: LLR values of the LLRs carried over from the last
    // block's straddling symbol, then of `count` received points.
    int32_t carried() const { return carried_; }
    void symbolLlrs(const double* i, const double* q, int32_t count);
    // The block's LLRs (from symbolLlrs) as the decoder's channel values.
    void placeLlrs();

    // Decodes the channel values placed last; returns the passes run.
    int32_t decode() { return decoder_.Decode(channel_.data(), decisions_.data()); }
    const int32_t* decisions() const { return decisions_.data(); }

private:
    void place();  // levels_ in arrival order to their places in channel_

    int32_t blockSize_;
    int32_t bitsPerSymbol_;
    double llrLimit_;
    bool deinterleave_;
    std::vector<int32_t> placement_;  // received value i goes to channel_[placement_[i]]
    std::optional<BpskQuantizer> quantizer_;
    ProductDecoder decoder_;
    std::vector<double> table_;   // the LLR table of a constellation link
    std::vector<double> llrs_;    // a block's LLRs in arrival order
    int32_t carried_ = 0;
    int32_t carry_[kMaxBitsPerSymbol] = {};
    std::vector<int32_t> levels_, channel_, decisions_;
};

}  // namespace tpc::link
