#include "link/block_engine.h"

#include <cmath>
#include <stdexcept>
#include <string>

#include "decoder/decoding_parameters.h"
#include "link/random_bits.h"

namespace tpc::link {

namespace {

// The decoder's parameters under the names its checks read.
struct DecoderFields {
    int32_t iterations, NUMX, NUMY, NUMZ, resolution;
    double quantLimit;
};

// The nodes' checks, in their order, on a prepared link.
PreparedLink Checked(PreparedLink link) {
    const LinkDescription& s = link.description;
    if (const Status status = CheckProductCode(s.code); !status.ok()) RefuseParameters("TPCENCODE", status);
    const DecoderFields d{s.decoder.iterations, s.decoder.weights[0], s.decoder.weights[1], s.decoder.weights[2],
                          s.resolution, s.quantLimit};
    if (const Status status = CheckDecodingParameters(d); !status.ok()) RefuseParameters("TPCDECODE", status);
    return link;
}

// First sample a node keeps with an offset of `bits` samples: the one at or
// after the offset time, within the nodes' tolerance of 1/1024 of a period.
int64_t FirstKeptSample(double bits) { return static_cast<int64_t>(std::ceil(bits - 1.0 / 1024)); }

// Whether the decoder's first block is the zeros (true) or block 0 (false);
// throws where its blocks would not fall on the encoder's.
bool DecoderReadsZeros(const PreparedLink& link) {
    const int64_t n = link.geometry.codeBits;
    const int64_t llrLatency = link.description.constellation.empty() ? 0 : link.geometry.bitsPerSymbol - 1;
    const int64_t decoderStart = FirstKeptSample(link.description.decoderOffset) - llrLatency;
    if (FirstKeptSample(link.description.encoderOffset) != 0 || !(decoderStart == 0 || decoderStart == n)) {
        throw std::runtime_error(
            "the decoder's blocks do not line up with the encoder's: the encoder must start at the first "
            "source bit, the decoder on the first block or the zeros before it");
    }
    return decoderStart == 0;
}

struct StreamSeeds {
    uint64_t source, noise, gains;
};

// The nodes' link seeds source and channel this way; the gains take a third
// word, drawn only when they fade, so that an AWGN link draws exactly what it
// always drew.
StreamSeeds SeedsOf(uint64_t seed) {
    uint64_t mix = seed;
    StreamSeeds seeds{};
    seeds.source = SplitMix64(mix);
    seeds.noise = SplitMix64(mix);
    seeds.gains = SplitMix64(mix);
    return seeds;
}

}  // namespace

BlockEngine::BlockEngine(LinkDescription description)
    : link_(Checked(PrepareLink(std::move(description)))),
      decodesZeros_(DecoderReadsZeros(link_)),
      transmitter_(link_.description.code, link_.description.interleave, link_.description.threshold),
      channel_(link_.constellation, link_.description.code.N(), link_.description.channel),
      receiver_(link_),
      codewordCheck_(link_.description.code) {
    const size_t n = static_cast<size_t>(link_.geometry.codeBits);
    const size_t symbols = static_cast<size_t>(channel_.maxSymbols());
    received_.resize(n);
    symbolI_.resize(symbols);
    symbolQ_.resize(symbols);
    if (link_.description.channel.fading != Fading::kNone) {
        gainI_.resize(symbols);
        gainQ_.resize(symbols);
    }
    // The nodes' pilot: without noise the first block comes back whole, where
    // the decoder decodes at all. It checks where the blocks fall, which a
    // fading channel does not change: it runs without the gains, whose deep
    // fades could cost a noiseless block its bits.
    if (link_.description.decoder.iterations > 0 && runWith(1, 0, 0.0, false).bitErrors != 0) {
        throw std::runtime_error(kLinkMisaligned);
    }
}

LinkCounts BlockEngine::run(int64_t blocks, uint64_t seed) {
    failures_.clear();
    return runWith(blocks, seed, link_.sigma, link_.description.channel.fading != Fading::kNone);
}

void BlockEngine::keepFailures(int32_t count) {
    failuresKept_ = static_cast<size_t>(count > 0 ? count : 0);
    failures_.reserve(failuresKept_);
}

BlockTrace BlockEngine::trace(uint64_t seed, int64_t block) {
    BlockTrace trace;
    runWith(block + 1, seed, link_.sigma, link_.description.channel.fading != Fading::kNone, &trace);
    const ProductCode& code = link_.description.code;
    if (!link_.description.interleave) {
        trace.codeBits = trace.sentBits;
    } else {
        // The same source stream through an encoder that keeps block order.
        Transmitter inBlockOrder(code, false, link_.description.threshold);
        inBlockOrder.restart(SeedsOf(seed).source);
        const uint8_t* bits = inBlockOrder.codeBlock(block);
        trace.codeBits.assign(bits, bits + code.N());
    }
    return trace;
}

void BlockEngine::traceReceived(const double* i, const double* q, int32_t count) {
    if (tracing_ == nullptr) return;
    tracing_->receivedI.assign(i, i + count);
    if (q != nullptr) tracing_->receivedQ.assign(q, q + count);
}

void BlockEngine::receive(int64_t b, double sigma, bool read, bool fades) {
    const uint8_t* codeBits = transmitter_.codeBlock(b);
    if (fades) {
        receiveFaded(codeBits, b, sigma, read);
        return;
    }
    if (link_.description.constellation.empty()) {
        if (receiver_.fusesBpsk()) {
            const float* noise = channel_.bpskNoise();
            if (read) receiver_.bpskLevels(codeBits, noise, sigma);
            if (tracing_ != nullptr) {
                channel_.bpskAmplitudes(codeBits, noise, sigma, received_.data());
                traceReceived(received_.data(), nullptr, static_cast<int32_t>(received_.size()));
            }
        } else {
            channel_.bpsk(codeBits, sigma, received_.data());
            if (read) receiver_.bpskAmplitudes(received_.data());
            traceReceived(received_.data(), nullptr, static_cast<int32_t>(received_.size()));
        }
        return;
    }
    // Symbols: the next block is read only when the last one straddles into it.
    const int32_t n = static_cast<int32_t>(link_.geometry.codeBits);
    const int32_t first = receiver_.carried();
    const bool straddles = (n - first) % link_.geometry.bitsPerSymbol != 0;
    const uint8_t* next = straddles ? transmitter_.codeBlock(b + 1) : nullptr;
    const int32_t count = channel_.symbols(codeBits, next, first, sigma, symbolI_.data(), symbolQ_.data());
    traceReceived(symbolI_.data(), symbolQ_.data(), count);
    if (link_.description.channel.exactLlrs) {
        receiver_.symbolLlrs(symbolI_.data(), symbolQ_.data(), nullptr, nullptr, count);
    } else {
        receiver_.symbolLlrs(symbolI_.data(), symbolQ_.data(), count);
    }
    if (read) receiver_.placeLlrs();
}

void BlockEngine::receiveFaded(const uint8_t* codeBits, int64_t b, double sigma, bool read) {
    const int32_t n = static_cast<int32_t>(link_.geometry.codeBits);
    const int32_t first = receiver_.carried();
    const bool straddles = (n - first) % link_.geometry.bitsPerSymbol != 0;
    const uint8_t* next = straddles ? transmitter_.codeBlock(b + 1) : nullptr;
    double *i = symbolI_.data(), *q = symbolQ_.data(), *gainI = gainI_.data(), *gainQ = gainQ_.data();
    const int32_t count = channel_.fadedSymbols(codeBits, next, first, sigma, i, q, gainI, gainQ);
    traceReceived(i, q, count);
    if (link_.description.constellation.empty()) {
        if (read) receiver_.fadedBpsk(i, q, gainI, gainQ);
        return;
    }
    receiver_.symbolLlrs(i, q, gainI, gainQ, count);
    if (read) receiver_.placeLlrs();
}

LinkCounts BlockEngine::runWith(int64_t blocks, uint64_t seed, double sigma, bool fades, BlockTrace* trace) {
    const StreamSeeds seeds = SeedsOf(seed);
    transmitter_.restart(seeds.source);
    channel_.restart(seeds.noise);
    if (fades) channel_.restartGains(seeds.gains);
    receiver_.restart();
    const ProductCode& code = link_.description.code;
    const int32_t n = code.N();
    LinkCounts counts;
    for (int64_t b = -1; b < blocks; ++b) {
        tracing_ = b == blocks - 1 ? trace : nullptr;
        const bool read = b >= 0 || decodesZeros_;  // false: before the decoder's offset
        receive(b, sigma, read, fades);
        // The zeros are decoded by the node and not counted; only their
        // channel values can outlive them (the decoder clips them anyway).
        if (!read || b < 0) continue;
        if (tracing_ != nullptr) tracing_->decoderInput.assign(receiver_.channelValues(), receiver_.channelValues() + n);
        const int32_t passes = receiver_.decode();
        const LinkCounts before = counts;
        CountBlock(code, receiver_.decisions(), transmitter_.sourceBlock(b), passes, codewordCheck_, counts);
        if (counts.blockErrors != before.blockErrors && failures_.size() < failuresKept_) {
            failures_.push_back(
                {b, counts.bitErrors - before.bitErrors, counts.undetectedBlocks != before.undetectedBlocks, passes});
        }
        if (tracing_ != nullptr) {
            const uint8_t* source = transmitter_.sourceBlock(b);
            const uint8_t* sent = transmitter_.codeBlock(b);
            tracing_->informationBits.assign(source, source + code.K());
            tracing_->sentBits.assign(sent, sent + n);
            tracing_->decisions.assign(receiver_.decisions(), receiver_.decisions() + n);
            tracing_->passes = passes;
            CountBlock(code, receiver_.decisions(), source, passes, codewordCheck_, tracing_->counts);
        }
    }
    tracing_ = nullptr;
    return counts;
}

}  // namespace tpc::link
