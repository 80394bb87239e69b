// The link of link_description.h run a block at a time: the same source bits, code,
// noise, LLR table and lookup, quantiser, deinterleaver and product decoder
// as the library's nodes, called on whole blocks instead of once per sample
// through the entry points, with the same counts for the same seed.
//
//   Transmitter (source, encoder) -> Channel (mapping, noise)
//     -> Receiver (LLRs or quantiser, deinterleave, decoder) -> CountBlock
//
// The stream positions the nodes imply (offsets in samples, blocks of N):
//
//   encoder out      e: N zeros, then block 0, block 1, ...
//   decoder in       e + L, L = m - 1 behind the LLR calculator (it emits m - 1
//                     zeros before the first symbol), 0 for BPSK
//   decoder blocks   start at its offset D: [D + jN, D + (j+1)N)
//
// Blocks line up only when D - L is 0 (the decoder's first block is the
// zeros, decoded and not counted) or N (its first block is block 0); the
// nodes' pilot refuses every other offset, and so does this engine. The
// zeros block, when the decoder reads it, still leaves its channel values
// (clipped to +-31 by the decoder) where a helical map that is not a
// permutation does not overwrite them.
#pragma once

#include <cstdint>
#include <vector>

#include "link/channel.h"
#include "link/link_counts.h"
#include "link/link_description.h"
#include "link/meter.h"
#include "link/receiver.h"
#include "link/transmitter.h"

namespace tpc::link {

// One block of a run regenerated, with what the link made of it on the way.
struct BlockTrace {
    std::vector<uint8_t> informationBits;  // the K source bits
    std::vector<uint8_t> sentBits;         // the N code bits as sent (helical order when interleaved)
    std::vector<uint8_t> codeBits;         // the same code word in block order
    // The channel's output for the block: BPSK amplitudes (on I; Q too over
    // fading), or the points of the symbols that start in it.
    std::vector<double> receivedI, receivedQ;
    std::vector<int32_t> decoderInput;  // the decoder's N channel values, block order
    std::vector<int32_t> decisions;     // its N decisions, block order
    int32_t passes = 0;
    LinkCounts counts;  // the block alone, as the meter counted it
};

class BlockEngine {
public:
    // Prepares the link and checks it with a noiseless run; throws
    // std::runtime_error with the message the nodes give (the library's own
    // check texts for bad parameters).
    explicit BlockEngine(LinkDescription description);
    BlockEngine(const BlockEngine&) = delete;
    BlockEngine& operator=(const BlockEngine&) = delete;

    // Runs `blocks` information blocks with source and noise seeded by
    // `seed`, as the nodes' link does (and a fading channel's gains, from a
    // third word of it); counts.passes holds the decoder's axis passes.
    LinkCounts run(int64_t blocks, uint64_t seed);

    // Each run() keeps its first `count` blocks in error, in block order.
    void keepFailures(int32_t count);
    const std::vector<FailedBlock>& failures() const { return failures_; }

    // Block `block` of the run seeded by `seed`, regenerated.
    BlockTrace trace(uint64_t seed, int64_t block);

    const LinkDescription& description() const { return link_.description; }
    const LinkGeometry& geometry() const { return link_.geometry; }
    double noiseSigma() const { return link_.sigma; }

private:
    // `fades`: through the gains of a fading channel (false for the pilot).
    // `trace`: the copies of the last block go there.
    LinkCounts runWith(int64_t blocks, uint64_t seed, double sigma, bool fades, BlockTrace* trace = nullptr);
    // The channel's output of the block being traced.
    void traceReceived(const double* i, const double* q, int32_t count);
    // Receives code block b into the decoder's channel values, or only draws
    // its noise (and gains) when the decoder does not read it.
    void receive(int64_t b, double sigma, bool read, bool fades);
    void receiveFaded(const uint8_t* codeBits, int64_t b, double sigma, bool read);

    PreparedLink link_;
    bool decodesZeros_;  // the decoder's first block is the zeros before block 0
    Transmitter transmitter_;
    Channel channel_;
    Receiver receiver_;
    CodewordCheck codewordCheck_;
    std::vector<double> received_, symbolI_, symbolQ_;
    std::vector<double> gainI_, gainQ_;  // fading: the gains of symbolI_, symbolQ_
    size_t failuresKept_ = 0;
    std::vector<FailedBlock> failures_;  // reserved by keepFailures: none allocated while running
    BlockTrace* tracing_ = nullptr;  // while the traced block goes through; null otherwise
};

}  // namespace tpc::link
