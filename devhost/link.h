// A whole coded link in one diagram, run through the library's real entry
// points:
//
//   random bits -> TPCENCODE -> BPSK ------------> AWGN -----------------> TPCDECODE -> meter
//                           \-> symbol mapper -> AWGN (I, Q) -> LLRcalculator -/
//
// The source runs at K bits per second, so one block takes one second and
// the system rate equals the coded rate N. The link is described in the
// codec's terms (link/link_description.h); NodeBlocksOf turns that description
// into the three nodes' parameter blocks.
#pragma once

#include <cstdint>
#include <memory>

#include "devhost/library.h"
#include "host/records.h"
#include "link/link_counts.h"
#include "link/link_description.h"

namespace devhost {

using tpc::link::LinkCounts;
using tpc::link::LinkGeometry;
using tpc::link::LinkDescription;

// The parameter blocks of the three nodes.
struct NodeBlocks {
    EncoderParams encoder{};
    DecoderParams decoder{};
    LlrParams llr{};
};

// The blocks as the loaded library writes them for new nodes.
NodeBlocks LibraryNodeBlocks(const Library& library);

// `defaults` with every setting of the prepared link written over them:
// offsets in bits, the decoder on BPSK or on the LLR calculator's values,
// the constellation file and the LLR table's Es/N0 as prepared.
NodeBlocks NodeBlocksOf(const tpc::link::PreparedLink& link, NodeBlocks defaults);

class Link {
public:
    // Checks the link by running the chain without noise and finds how many
    // decoded samples precede the first real block; throws
    // std::runtime_error with the node's message if a node refuses it, or
    // when the chain does not return the source bits.
    Link(const Library& library, LinkDescription description);
    ~Link();

    // Runs `blocks` information blocks with noise seeded by `seed` (a fresh
    // run of the diagram: every node initialised, run and finalised).
    LinkCounts run(int64_t blocks, uint64_t seed);

    const NodeBlocks& blocks() const { return blocks_; }
    const LinkGeometry& geometry() const { return geometry_; }
    int64_t lag() const { return lag_; }
    double noiseSigma() const { return sigma_; }

private:
    struct Parts;
    LinkCounts runOnce(int64_t blocks, uint64_t seed, bool noiseless, bool capture);

    const Library& library_;
    NodeBlocks blocks_;
    LinkGeometry geometry_;
    bool noiseless_ = false;
    double sigma_ = 0.0;
    int64_t lag_ = 0;
    std::unique_ptr<Parts> parts_;
};

}  // namespace devhost
