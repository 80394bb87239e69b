#include "devhost/link.h"

#include <cmath>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "code/product_code.h"
#include "devhost/channel_blocks.h"
#include "devhost/diagram.h"
#include "devhost/host_blocks.h"
#include "devhost/library_node.h"
#include "link/random_bits.h"

namespace devhost {

NodeBlocks LibraryNodeBlocks(const Library& library) {
    NodeBlocks b;
    std::vector<uint8_t> block = library.defaultBlock(library.nodeIndex("TPCENCODE"));
    std::memcpy(&b.encoder, block.data(), sizeof b.encoder);
    block = library.defaultBlock(library.nodeIndex("TPCDECODE"));
    std::memcpy(&b.decoder, block.data(), sizeof b.decoder);
    block = library.defaultBlock(library.nodeIndex("LLRcalculator"));
    std::memcpy(&b.llr, block.data(), sizeof b.llr);
    return b;
}

NodeBlocks NodeBlocksOf(const tpc::link::PreparedLink& link, NodeBlocks b) {
    const LinkDescription& s = link.description;
    EncoderParams& e = b.encoder;
    DecoderParams& d = b.decoder;
    tpc::CopyCodeDimensions(s.code, e);
    tpc::CopyCodeDimensions(s.code, d);
    // Offsets are counted in bits: the flag pair says so.
    e.inBits = d.inBits = 1;
    e.inSeconds = d.inSeconds = 0;
    e.delay = s.encoderOffset;
    e.threshold = s.threshold;
    e.interleave = s.interleave ? 1 : 0;
    d.deinter = s.interleave ? 1 : 0;
    d.iterations = s.decoder.iterations;
    d.NUMX = s.decoder.weights[0];
    d.NUMY = s.decoder.weights[1];
    d.NUMZ = s.decoder.weights[2];
    d.selectstp = s.decoder.selectiveStop ? 1 : 0;
    d.resolution = s.resolution;
    d.quantLimit = s.quantLimit;
    d.delay = s.decoderOffset;
    const bool bpsk = s.constellation.empty();
    d.bpsk = bpsk ? 1 : 0;
    d.higherOrderMod = bpsk ? 0 : 1;
    if (!bpsk) {
        LlrParams& l = b.llr;
        l.numsym = s.points;
        l.quantLimit = s.llrLimit;
        l.res = s.llrResolution;
        l.esno = s.llrEsNo;
        std::memset(l.file, 0, sizeof l.file);
        std::strncpy(l.file, s.constellation.c_str(), sizeof l.file - 1);
    }
    return b;
}

struct Link::Parts {
    Diagram diagram;
    RandomBitSource* source = nullptr;
    LibraryNode* encoder = nullptr;
    LibraryNode* decoder = nullptr;
    LibraryNode* llr = nullptr;
    AwgnChannel* channel = nullptr;
    ErrorMeter* meter = nullptr;
};

Link::Link(const Library& library, LinkDescription description) : library_(library) {
    tpc::link::PreparedLink prepared = tpc::link::PrepareLink(std::move(description));
    blocks_ = NodeBlocksOf(prepared, LibraryNodeBlocks(library));
    geometry_ = prepared.geometry;
    noiseless_ = prepared.description.noiseless;
    sigma_ = prepared.sigma;
    const bool bpsk = prepared.description.constellation.empty();
    tpc::link::Constellation& constellation = prepared.constellation;

    parts_ = std::make_unique<Parts>();
    Parts& p = *parts_;
    const double infoRate = static_cast<double>(geometry_.infoBits);
    p.source = &p.diagram.add<RandomBitSource>(infoRate, 1);
    p.encoder = &p.diagram.add<LibraryNode>(library_, "TPCENCODE");
    p.encoder->params<EncoderParams>() = blocks_.encoder;
    Block* lastStage = nullptr;
    if (bpsk) {
        auto& mapper = p.diagram.add<BpskMapper>();
        p.channel = &p.diagram.add<AwgnChannel>(1, sigma_, 1);
        p.diagram.connect(*p.encoder, 0, mapper, 0);
        p.diagram.connect(mapper, 0, *p.channel, 0);
        lastStage = p.channel;
    } else {
        auto& mapper = p.diagram.add<SymbolMapper>(constellation);
        p.channel = &p.diagram.add<AwgnChannel>(2, sigma_, 1);
        p.llr = &p.diagram.add<LibraryNode>(library_, "LLRcalculator");
        p.llr->params<LlrParams>() = blocks_.llr;
        p.diagram.connect(*p.encoder, 0, mapper, 0);
        p.diagram.connect(mapper, 0, *p.channel, 0);
        p.diagram.connect(mapper, 1, *p.channel, 1);
        p.diagram.connect(*p.channel, 0, *p.llr, 0);
        p.diagram.connect(*p.channel, 1, *p.llr, 1);
        lastStage = p.llr;
    }
    p.decoder = &p.diagram.add<LibraryNode>(library_, "TPCDECODE");
    p.decoder->params<DecoderParams>() = blocks_.decoder;
    p.meter = &p.diagram.add<ErrorMeter>(geometry_.infoBits, 0);
    p.diagram.connect(*p.source, 0, *p.encoder, 0);
    p.diagram.connect(*lastStage, 0, *p.decoder, 0);
    p.diagram.connect(*p.source, 0, *p.meter, 0);
    p.diagram.connect(*p.decoder, 1, *p.meter, 1);

    // Pilot: without noise the decoded stream is the source stream, delayed.
    // The delay does not depend on the passes, so a decoder that runs none
    // takes it from a pilot that decodes.
    DecoderParams& decoderParams = p.decoder->params<DecoderParams>();
    if (decoderParams.iterations < 1) decoderParams.iterations = 2;
    runOnce(4, 0, true, true);
    decoderParams = blocks_.decoder;
    lag_ = FindLag(p.meter->reference(), p.meter->captured(), geometry_.infoBits);
    if (lag_ < 0) throw std::runtime_error(tpc::link::kLinkMisaligned);
}

Link::~Link() = default;

LinkCounts Link::run(int64_t blocks, uint64_t seed) {
    return runOnce(blocks, seed, noiseless_, false);
}

LinkCounts Link::runOnce(int64_t blocks, uint64_t seed, bool noiseless, bool capture) {
    Parts& p = *parts_;
    // Independent streams for the source and the noise from one seed.
    uint64_t mix = seed;
    const uint64_t sourceSeed = tpc::link::SplitMix64(mix);
    const uint64_t noiseSeed = tpc::link::SplitMix64(mix);
    p.source->setSeed(sourceSeed);
    p.channel->setSeed(noiseSeed);
    p.channel->setSigma(noiseless ? 0.0 : sigma_);
    p.meter->setLag(capture ? 0 : lag_);
    p.meter->setCapture(capture);

    RunResult started = p.diagram.init(static_cast<double>(geometry_.codeBits));
    if (!started.ok) {
        p.diagram.finish();
        throw std::runtime_error(started.failedName + " refused its parameters (code " +
                                 std::to_string(started.code) + "): " + started.message);
    }
    // Every block takes N ticks; the chain needs a few blocks to fill.
    const int64_t limit = (blocks + 6) * geometry_.codeBits + 4 * geometry_.bitsPerSymbol;
    if (capture) {
        p.diagram.runTicks(limit);
    } else {
        p.diagram.runWhile(limit, [&] { return p.meter->blocks() < blocks; });
    }
    p.diagram.finish();

    return p.meter->counts();
}

}  // namespace devhost
