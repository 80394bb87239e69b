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
#include "host/parameter_blocks.h"
#include "llr/llr_table.h"

namespace devhost {

LinkConfig DefaultLinkConfig(const Library& library) {
    LinkConfig c;
    std::vector<uint8_t> block = library.defaultBlock(library.nodeIndex("TPCENCODE"));
    std::memcpy(&c.encoder, block.data(), sizeof c.encoder);
    block = library.defaultBlock(library.nodeIndex("TPCDECODE"));
    std::memcpy(&c.decoder, block.data(), sizeof c.decoder);
    block = library.defaultBlock(library.nodeIndex("LLRcalculator"));
    std::memcpy(&c.llr, block.data(), sizeof c.llr);
    return c;
}

LinkConfig BuiltInLinkConfig() {
    LinkConfig c;
    tpc::WriteEncoderDefaults(c.encoder);
    tpc::WriteDecoderDefaults(c.decoder);
    tpc::WriteLlrDefaults(c.llr);
    return c;
}

LinkGeometry GeometryOf(const LinkConfig& c) {
    const tpc::ProductCode code = tpc::ProductCodeOf(c.encoder);
    LinkGeometry g;
    g.infoBits = code.K();
    g.codeBits = code.N();
    g.bitsPerSymbol = c.constellation.empty() ? 1 : tpc::BitsPerSymbol(c.llr.numsym);
    return g;
}

double EsN0DbFromEbN0Db(double ebN0Db, double codeRate, int bitsPerSymbol) {
    return ebN0Db + 10 * std::log10(codeRate * bitsPerSymbol);
}

double EbN0DbFromEsN0Db(double esN0Db, double codeRate, int bitsPerSymbol) {
    return esN0Db - 10 * std::log10(codeRate * bitsPerSymbol);
}

double NoiseSigma(double esN0Db, double symbolEnergy) {
    const double n0 = symbolEnergy / std::pow(10.0, esN0Db / 10);
    return std::sqrt(n0 / 2);
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

const char kLinkMisaligned[] =
    "the decoder does not return the source bits on a noiseless channel: check that "
    "encoder and decoder use the same code and interleaving";

PreparedLink PrepareLink(LinkConfig config) {
    PreparedLink p;
    p.config = std::move(config);
    LinkConfig& c = p.config;
    p.geometry = GeometryOf(c);
    if (!c.constellation.empty()) {
        p.constellation = Constellation::Read(c.constellation, c.llr.numsym);
        p.symbolEnergy = p.constellation.averageEnergy();
        std::strncpy(c.llr.file, c.constellation.c_str(), sizeof c.llr.file - 1);
        c.decoder.bpsk = 0;
        c.decoder.higherOrderMod = 1;
    }
    const double esN0Db = EsN0DbFromEbN0Db(c.ebN0Db, p.geometry.codeRate(), p.geometry.bitsPerSymbol);
    p.sigma = c.noiseless ? 0.0 : NoiseSigma(esN0Db, p.symbolEnergy);
    if (!c.constellation.empty() && c.llrEsNoFromChannel) {
        c.llr.esno = p.symbolEnergy > 0 ? std::pow(10.0, esN0Db / 10) / p.symbolEnergy : 1;
    }
    // The mapper holds m - 1 bits before it emits a symbol: the decoder
    // starts that many samples later, on the first bit of the first block.
    if (!c.constellation.empty() && c.decoder.delay == 0 && c.decoder.inBits != 0) {
        c.decoder.delay = p.geometry.bitsPerSymbol - 1;
    }
    return p;
}

Link::Link(const Library& library, LinkConfig config) : library_(library) {
    PreparedLink prepared = PrepareLink(std::move(config));
    config_ = std::move(prepared.config);
    geometry_ = prepared.geometry;
    symbolEnergy_ = prepared.symbolEnergy;
    sigma_ = prepared.sigma;
    const bool bpsk = config_.constellation.empty();
    Constellation& constellation = prepared.constellation;

    parts_ = std::make_unique<Parts>();
    Parts& p = *parts_;
    const double infoRate = static_cast<double>(geometry_.infoBits);
    p.source = &p.diagram.add<RandomBitSource>(infoRate, 1);
    p.encoder = &p.diagram.add<LibraryNode>(library_, "TPCENCODE");
    p.encoder->params<EncoderParams>() = config_.encoder;
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
        p.llr->params<LlrParams>() = config_.llr;
        p.diagram.connect(*p.encoder, 0, mapper, 0);
        p.diagram.connect(mapper, 0, *p.channel, 0);
        p.diagram.connect(mapper, 1, *p.channel, 1);
        p.diagram.connect(*p.channel, 0, *p.llr, 0);
        p.diagram.connect(*p.channel, 1, *p.llr, 1);
        lastStage = p.llr;
    }
    p.decoder = &p.diagram.add<LibraryNode>(library_, "TPCDECODE");
    p.decoder->params<DecoderParams>() = config_.decoder;
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
    decoderParams = config_.decoder;
    lag_ = FindLag(p.meter->reference(), p.meter->captured(), geometry_.infoBits);
    if (lag_ < 0) throw std::runtime_error(kLinkMisaligned);
}

Link::~Link() = default;

LinkCounts Link::run(int64_t blocks, uint64_t seed) {
    return runOnce(blocks, seed, config_.noiseless, false);
}

LinkCounts Link::runOnce(int64_t blocks, uint64_t seed, bool noiseless, bool capture) {
    Parts& p = *parts_;
    // Independent streams for the source and the noise from one seed.
    uint64_t mix = seed;
    const uint64_t sourceSeed = SplitMix64(mix);
    const uint64_t noiseSeed = SplitMix64(mix);
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

    LinkCounts counts;
    counts.blocks = p.meter->blocks();
    counts.bits = p.meter->bits();
    counts.bitErrors = p.meter->bitErrors();
    counts.blockErrors = p.meter->blockErrors();
    counts.bitErrorsSquared = p.meter->bitErrorsSquared();
    return counts;
}

}  // namespace devhost
