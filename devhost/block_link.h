// The link of link.h run a block at a time: the same source bits, code, noise,
// LLR table and lookup, quantiser, deinterleaver and product decoder as the
// nodes, called on whole blocks instead of once per sample through the entry
// points, with the same counts for the same seed.
//
// The stream positions the nodes imply (offsets in samples, blocks of N):
//
//   encoder out   e:  0 ........ N-1 | N ...... 2N-1 | 2N ...
//                     zeros (before  | block 0       | block 1
//                     block 0 is in) |               |
//   mapper           symbol s carries e = s*m ... s*m + m-1 (label bit j from e = s*m + j),
//                     so with m not dividing N a symbol can straddle two blocks
//   noise            one draw per channel sample in stream order: e for BPSK,
//                     2s (I) and 2s+1 (Q) for symbol s
//   decoder in       e + L, L = m - 1 behind the LLR calculator (it emits m - 1
//                     zeros before the first symbol), 0 for BPSK
//   decoder blocks   start at its offset D: [D + jN, D + (j+1)N)
//
// Blocks line up only when D - L is 0 (the decoder's first block is the
// zeros, decoded and not counted) or N (its first block is block 0); the
// nodes' pilot refuses every other offset, and so does this engine, with the
// same message. The zeros block, when the decoder reads it, still leaves its
// channel values (clipped to +-31 by the decoder) where a helical map that is
// not a permutation does not overwrite them.
#pragma once

#include <cstdint>
#include <memory>

#include "devhost/link.h"

namespace devhost {

class BlockLink {
public:
    // Prepares the configuration as the nodes' link does and checks it with a
    // noiseless run; throws std::runtime_error with the message the nodes
    // give (the library's own check texts for bad parameters).
    explicit BlockLink(LinkConfig config);
    ~BlockLink();
    BlockLink(const BlockLink&) = delete;
    BlockLink& operator=(const BlockLink&) = delete;

    // Runs `blocks` information blocks with source and noise seeded by `seed`,
    // as Link::run does; counts.passes holds the decoder's axis passes.
    LinkCounts run(int64_t blocks, uint64_t seed);

    const LinkConfig& config() const;
    const LinkGeometry& geometry() const;
    double noiseSigma() const;

private:
    struct Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace devhost
