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
    return runWith(blocks, seed, link_.sigma, link_.description.channel.fading != Fading::kNone);
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
        } else {
            channel_.bpsk(codeBits, sigma, received_.data());
            if (read) receiver_.bpskAmplitudes(received_.data());
        }
        return;
    }
    // Symbols: the next block is read only when the last one straddles into it.
    const int32_t n = static_cast<int32_t>(link_.geometry.codeBits);
    const int32_t first = receiver_.carried();
    const bool straddles = (n - first) % link_.geometry.bitsPerSymbol != 0;
    const uint8_t* next = straddles ? transmitter_.codeBlock(b + 1) : nullptr;
    const int32_t count = channel_.symbols(codeBits, next, first, sigma, symbolI_.data(), symbolQ_.data());
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
    if (link_.description.constellation.empty()) {
        if (read) receiver_.fadedBpsk(i, q, gainI, gainQ);
        return;
    }
    receiver_.symbolLlrs(i, q, gainI, gainQ, count);
    if (read) receiver_.placeLlrs();
}

LinkCounts BlockEngine::runWith(int64_t blocks, uint64_t seed, double sigma, bool fades) {
    // The nodes' link seeds source and channel this way; the gains take a
    // third word, drawn only when they fade, so that an AWGN link draws
    // exactly what it always drew.
    uint64_t mix = seed;
    transmitter_.restart(SplitMix64(mix));
    channel_.restart(SplitMix64(mix));
    if (fades) channel_.restartGains(SplitMix64(mix));
    receiver_.restart();
    LinkCounts counts;
    for (int64_t b = -1; b < blocks; ++b) {
        const bool read = b >= 0 || decodesZeros_;  // false: before the decoder's offset
        receive(b, sigma, read, fades);
        // The zeros are decoded by the node and not counted; only their
        // channel values can outlive them (the decoder clips them anyway).
        if (!read || b < 0) continue;
        const int32_t passes = receiver_.decode();
        CountBlock(link_.description.code, receiver_.decisions(), transmitter_.sourceBlock(b), passes, codewordCheck_,
                   counts);
    }
    return counts;
}

}  // namespace tpc::link
