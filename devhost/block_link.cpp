#include "devhost/block_link.h"

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "code/helical_map.h"
#include "code/product_code.h"
#include "decoder/decoding_parameters.h"
#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "devhost/gaussian_stream.h"
#include "devhost/random.h"
#include "devhost/vector_clones.h"
#include "encoder/packed_product_encoder.h"
#include "llr/llr_table.h"

namespace devhost {

namespace {

// Code bits to BPSK amplitudes plus their noise, as mapper and channel do,
// then to quantiser levels; all numbers, so the quantiser's vectorising form
// applies (branch-free: it vectorises).
TPC_VECTOR_CLONES
void QuantizeBpsk(const tpc::BpskQuantizer quantizer, const uint8_t* __restrict codeBits,
                  const double* __restrict noise, double sigma, int32_t* __restrict levels,
                  int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double amplitude = static_cast<double>(2 * static_cast<int32_t>(codeBits[i]) - 1);  // bits are 0 or 1
        const double received = amplitude + sigma * noise[i];
        levels[i] = quantizer.LevelOfNumber(quantizer.Clip(received));
    }
}

TPC_VECTOR_CLONES
void TruncateNumbers(const double* __restrict received, int32_t* __restrict levels, int32_t count) {
    for (int32_t i = 0; i < count; ++i) levels[i] = static_cast<int32_t>(received[i]);
}

[[noreturn]] void Refuse(const char* node, const tpc::Status& status) {
    throw std::runtime_error(std::string(node) + " refused its parameters (code " +
                             std::to_string(status.code) + "): " + status.message);
}

// First sample a node keeps with an offset of `delay` samples (or seconds at
// `rate` samples per second): the one at or after the offset time, within
// the nodes' tolerance of 1/1024 of a system period.
int64_t FirstKeptSample(double delay, uint32_t inBits, double rate) {
    const double samples = inBits != 0 ? delay : delay * rate;
    return static_cast<int64_t>(std::ceil(samples - 1.0 / 1024));
}

}  // namespace

struct BlockLink::Engine {
    explicit Engine(LinkConfig config);
    LinkCounts run(int64_t blocks, uint64_t seed, double sigma);

    // Block b of the encoder's output (b = -1: the zeros before block 0),
    // drawing and encoding the source block the first time it is asked for.
    const uint8_t* codeBlock(int64_t b);
    const uint8_t* sourceBlock(int64_t b) const { return source[b & 1].data(); }
    // The decoder's input values for the encoder's block b, in arrival order.
    void receiveBpsk(int64_t b, double sigma);
    void receiveSymbols(int64_t b, double sigma);
    void receiveBpskLevels(int64_t b, double sigma, bool read);
    // The received block as the decoder's channel values, where it puts them.
    void placeChannelValues();
    // Levels in arrival order to their places in the block (deinterleaving).
    void placeLevels();
    void countBlock(int64_t b, int32_t passes, LinkCounts& counts);

    PreparedLink link;
    tpc::ProductCode code;
    int32_t n = 0, k = 0, m = 1;
    bool decodesZeros = false;  // the decoder's first block is the zeros before block 0
    uint8_t encodedBit[2] = {0, 1};  // what the encoder's threshold makes of source bits 0 and 1

    RandomBits bits;
    GaussianStream noise;
    std::optional<tpc::PackedProductEncoder> encoder;
    std::optional<tpc::ProductDecoder> decoder;
    std::optional<tpc::BpskQuantizer> quantizer;  // BPSK input to the decoder
    bool deinterleave = false;
    std::vector<int32_t> placement;  // received value i goes to channel[placement[i]]

    int64_t encodedBlocks = 0;  // source blocks drawn and encoded in this run
    std::vector<uint8_t> source[2], encoded[2];  // blocks b and b + 1, at b & 1
    std::vector<uint8_t> zeros, encoderInput;
    std::vector<double> received, gaussians;
    std::vector<int32_t> levels, channel, decisions;

    // Constellation links: the LLR table, and the LLRs of a symbol that
    // straddles into the next block.
    std::vector<double> table;
    int32_t carried = 0;
    int32_t carry[tpc::kMaxBitsPerSymbol] = {};
};

BlockLink::Engine::Engine(LinkConfig config) : link(PrepareLink(std::move(config))) {
    const LinkConfig& c = link.config;
    code = tpc::ProductCodeOf(c.encoder);
    if (const tpc::Status s = tpc::CheckProductCode(code); !s.ok()) Refuse("TPCENCODE", s);
    if (const tpc::Status s = tpc::CheckDecodingParameters(c.decoder); !s.ok()) Refuse("TPCDECODE", s);
    const tpc::ProductCode decoded = tpc::ProductCodeOf(c.decoder);
    if (const tpc::Status s = tpc::CheckProductCode(decoded); !s.ok()) Refuse("TPCDECODE", s);
    n = code.N();
    k = code.K();
    const bool bpsk = c.constellation.empty();
    m = link.geometry.bitsPerSymbol;

    // Where the decoder's blocks fall on the encoder's (see block_link.h).
    const int64_t encoderStart = FirstKeptSample(c.encoder.delay, c.encoder.inBits, k);
    const int64_t llrLatency = bpsk ? 0 : m - 1;
    const int64_t decoderStart = FirstKeptSample(c.decoder.delay, c.decoder.inBits, n) - llrLatency;
    if (!(decoded.N() == n && decoded.K() == k)) throw std::runtime_error(kLinkMisaligned);
    if (encoderStart != 0 || !(decoderStart == 0 || decoderStart == n)) {
        throw std::runtime_error(
            "the decoder's blocks do not line up with the encoder's: the encoder must start at the first "
            "source bit, the decoder on the first block or the zeros before it");
    }
    decodesZeros = decoderStart == 0;
    for (int bit = 0; bit < 2; ++bit) encodedBit[bit] = bit >= c.encoder.threshold ? 1 : 0;

    encoder.emplace(code, c.encoder.interleave != 0);
    decoder.emplace(decoded, tpc::DecoderSettings{c.decoder.iterations,
                                                  {c.decoder.NUMX, c.decoder.NUMY, c.decoder.NUMZ},
                                                  c.decoder.selectstp != 0});
    if (c.decoder.bpsk != 0) quantizer.emplace(c.decoder.resolution, c.decoder.quantLimit);
    deinterleave = c.decoder.deinter != 0;
    placement.resize(static_cast<size_t>(n));
    const int64_t step = tpc::HelicalStep(decoded.nx, decoded.ny, decoded.kz);
    for (int32_t i = 0; i < n; ++i) {
        placement[i] = c.decoder.deinter != 0 ? tpc::HelicalPosition(i, step, n) : i;
    }
    for (int j = 0; j < 2; ++j) {
        source[j].resize(static_cast<size_t>(k));
        encoded[j].resize(static_cast<size_t>(n));
    }
    zeros.assign(static_cast<size_t>(n), 0);
    encoderInput.resize(static_cast<size_t>(k));
    received.resize(static_cast<size_t>(n));
    gaussians.resize(static_cast<size_t>(n));
    levels.resize(static_cast<size_t>(n));
    channel.resize(static_cast<size_t>(n));
    decisions.resize(static_cast<size_t>(n));

    if (!bpsk) {
        const LlrParams& p = c.llr;
        if (const tpc::Status s = tpc::CheckLlrParameters(p.numsym, p.quantLimit); !s.ok()) {
            Refuse("LLRcalculator", s);
        }
        table.resize(static_cast<size_t>(m) * tpc::kTableCells);
        const tpc::Status built =
            tpc::BuildLlrTable(link.constellation.i.data(), link.constellation.q.data(), table.data(),
                               p.numsym, p.quantLimit, tpc::kGridBits, p.esno);
        if (!built.ok()) Refuse("LLRcalculator", built);
    }
}

const uint8_t* BlockLink::Engine::codeBlock(int64_t b) {
    if (b < 0) return zeros.data();
    while (encodedBlocks <= b) {
        const size_t slot = static_cast<size_t>(encodedBlocks & 1);
        bits.fill(source[slot].data(), k);
        const uint8_t* input = source[slot].data();
        if (!(encodedBit[0] == 0 && encodedBit[1] == 1)) {
            for (int32_t t = 0; t < k; ++t) encoderInput[t] = encodedBit[source[slot][t]];
            input = encoderInput.data();
        }
        encoder->Encode(input, encoded[slot].data());
        ++encodedBlocks;
    }
    return encoded[b & 1].data();
}

// BPSK: bit c to 2c - 1, plus the noise of its sample, as mapper and channel do.
void BlockLink::Engine::receiveBpsk(int64_t b, double sigma) {
    const uint8_t* codeBits = codeBlock(b);
    noise.fill(gaussians.data(), gaussians.size());
    for (int32_t i = 0; i < n; ++i) {
        const double amplitude = codeBits[i] != 0 ? 1.0 : -1.0;
        received[i] = amplitude + sigma * gaussians[i];
    }
}

// Symbols of m bits, label bit j from the j-th of them, the last one of a
// block possibly completed from the next; each symbol's noise drawn I then
// Q, its cell looked up and its m LLRs handed on in bit order.
void BlockLink::Engine::receiveSymbols(int64_t b, double sigma) {
    const uint8_t* here = codeBlock(b);
    const Constellation& points = link.constellation;
    const int32_t pointCount = static_cast<int32_t>(points.i.size());
    const double limit = link.config.llr.quantLimit;
    int32_t filled = 0;
    for (; filled < carried; ++filled) received[filled] = carry[filled];
    carried = 0;
    int32_t llrs[tpc::kMaxBitsPerSymbol];
    while (filled < n) {
        int32_t label = 0;
        for (int32_t j = 0; j < m; ++j) {
            const int32_t e = filled + j;
            const uint8_t bit = e < n ? here[e] : codeBlock(b + 1)[e - n];
            label |= bit << j;
        }
        const int32_t point = label % pointCount;
        const double i = points.i[point] + sigma * noise.next();
        const double q = points.q[point] + sigma * noise.next();
        int32_t row = 0, column = 0;
        tpc::LocateReceivedCell(i, q, limit, &row, &column);
        tpc::FetchSymbolLlrs(m, row, column, llrs, table.data());
        for (int32_t j = 0; j < m; ++j) {
            if (filled < n) {
                received[filled++] = llrs[j];
            } else {
                carry[carried++] = llrs[j];
            }
        }
    }
}

// The same as receiveBpsk and then placeChannelValues, in one pass.
void BlockLink::Engine::receiveBpskLevels(int64_t b, double sigma, bool read) {
    const uint8_t* codeBits = codeBlock(b);
    noise.fill(gaussians.data(), gaussians.size());
    if (!read) return;
    int32_t* values = deinterleave ? levels.data() : channel.data();
    QuantizeBpsk(*quantizer, codeBits, gaussians.data(), sigma, values, n);
    if (deinterleave) placeLevels();
}

void BlockLink::Engine::placeLevels() {
    for (int32_t i = 0; i < n; ++i) channel[placement[i]] = levels[i];
}

void BlockLink::Engine::placeChannelValues() {
    int32_t* values = deinterleave ? levels.data() : channel.data();
    if (quantizer) {
        for (int32_t i = 0; i < n; ++i) values[i] = quantizer->Level(quantizer->Clip(received[i]));
    } else {
        // LLRs: whole numbers well inside the int32_t range.
        TruncateNumbers(received.data(), values, n);
    }
    if (deinterleave) placeLevels();
}

// The meter's rule: the decoded information bits (x fastest, then y, then
// z) against the source block.
void BlockLink::Engine::countBlock(int64_t b, int32_t passes, LinkCounts& counts) {
    const uint8_t* sent = sourceBlock(b);
    int64_t errors = 0;
    int32_t t = 0;
    for (int32_t z = 0; z < code.kz; ++z) {
        for (int32_t y = 0; y < code.ky; ++y) {
            const int32_t* row = decisions.data() + code.PlaneSize() * z + code.nx * y;
            for (int32_t x = 0; x < code.kx; ++x, ++t) errors += row[x] != sent[t];
        }
    }
    ++counts.blocks;
    counts.bits += k;
    counts.bitErrors += errors;
    counts.blockErrors += errors != 0;
    counts.bitErrorsSquared = LinkCounts::SaturatingSum(counts.bitErrorsSquared, errors * errors);
    counts.passes += passes;
}

LinkCounts BlockLink::Engine::run(int64_t blocks, uint64_t seed, double sigma) {
    // The nodes' link seeds source and channel this way.
    uint64_t mix = seed;
    bits.reseed(SplitMix64(mix));
    noise.reseed(SplitMix64(mix));
    encodedBlocks = 0;
    carried = 0;
    std::fill(channel.begin(), channel.end(), 0);
    std::fill(decisions.begin(), decisions.end(), 0);

    const bool bpsk = link.config.constellation.empty();
    const bool quantizeAtOnce = bpsk && quantizer && quantizer->LevelsFitTruncation();
    LinkCounts counts;
    for (int64_t b = -1; b < blocks; ++b) {
        const bool read = b >= 0 || decodesZeros;  // false: before the decoder's offset
        if (quantizeAtOnce) {
            receiveBpskLevels(b, sigma, read);
        } else {
            if (bpsk) {
                receiveBpsk(b, sigma);
            } else {
                receiveSymbols(b, sigma);
            }
            if (read) placeChannelValues();
        }
        if (!read) continue;
        // The zeros are decoded by the node and not counted; only their
        // channel values can outlive them (the decoder clips them anyway).
        if (b < 0) continue;
        const int32_t passes = decoder->Decode(channel.data(), decisions.data());
        countBlock(b, passes, counts);
    }
    return counts;
}

BlockLink::BlockLink(LinkConfig config) : engine_(std::make_unique<Engine>(std::move(config))) {
    // The nodes' pilot: without noise the first block comes back whole, where
    // the decoder decodes at all.
    if (engine_->link.config.decoder.iterations > 0 && engine_->run(1, 0, 0.0).bitErrors != 0) {
        throw std::runtime_error(kLinkMisaligned);
    }
}

BlockLink::~BlockLink() = default;

LinkCounts BlockLink::run(int64_t blocks, uint64_t seed) {
    return engine_->run(blocks, seed, engine_->link.sigma);
}

const LinkConfig& BlockLink::config() const { return engine_->link.config; }
const LinkGeometry& BlockLink::geometry() const { return engine_->link.geometry; }
double BlockLink::noiseSigma() const { return engine_->link.sigma; }

}  // namespace devhost
