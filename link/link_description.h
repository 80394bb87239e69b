// A coded link described in the codec's own terms, the same for both ways of
// running it: the block engine (link/block_engine.h) and the library's nodes
// through their entry points (devhost/link.h).
//
//   source bits -> encoder -> BPSK or constellation -> AWGN -> [LLRs] -> quantiser -> decoder -> meter
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "code/product_code.h"
#include "decoder/decoder_limits.h"
#include "decoder/product_decoder.h"
#include "encoder/product_encoder.h"
#include "llr/llr_table.h"

namespace tpc::link {

// The channel between mapper and receiver: AWGN alone, or a complex
// Gaussian gain of unit mean power on every symbol (Rayleigh; Rician with a
// line-of-sight part K times the scattered power) before the noise, drawn
// anew per symbol (fast fading) or once per code block (block fading). The
// receiver knows each symbol's gain.
enum class Fading { kNone, kRayleigh, kRician };

struct ChannelModel {
    Fading fading = Fading::kNone;
    double ricianK = 0;        // Rician: line-of-sight to scattered power
    bool perBlock = false;     // one gain per code block instead of per symbol
    // Constellations: LLRs by the log-sum-exp over the points with each
    // symbol's own SNR (slow, the reference) instead of the LLR table.
    bool exactLlrs = false;
};

struct LinkDescription {
    ProductCode code;                // shared by encoder and decoder
    // Encoder: a source value at or above the threshold is a 1; blocks leave
    // in helical order when interleaving (and the decoder undoes it).
    double threshold = kDefaultEncoderThreshold;
    bool interleave = false;
    double encoderOffset = 0;        // in source bits
    double decoderOffset = 0;        // in code bits
    DecoderSettings decoder;         // passes, feedback weights, selective stop
    // BPSK into the decoder: its quantiser.
    int32_t resolution = kQuantizerResolution.initial;
    double quantLimit = kDefaultQuantizerLimit;
    // A constellation file of `points` points; empty: BPSK.
    std::string constellation;
    int32_t points = 0;
    // The LLR table: its Es/N0 (linear) follows the channel unless fixed.
    bool llrEsNoFromChannel = true;
    double llrEsNo = kDefaultLlrEsNo;
    double llrLimit = kDefaultLlrLimit;
    int32_t llrResolution = kDefaultLlrResolution;
    ChannelModel channel;
    double ebN0Db = 3.0;
    bool noiseless = false;
};

// Derived quantities of a link.
struct LinkGeometry {
    int64_t infoBits;   // K
    int64_t codeBits;   // N
    int bitsPerSymbol;  // 1 for BPSK
    double codeRate() const { return static_cast<double>(infoBits) / codeBits; }
};
LinkGeometry GeometryOf(const LinkDescription& description);

// Es/N0 in dB of a symbol for a given Eb/N0 in dB (Es = R * m * Eb), and back.
double EsN0DbFromEbN0Db(double ebN0Db, double codeRate, int bitsPerSymbol);
double EbN0DbFromEsN0Db(double esN0Db, double codeRate, int bitsPerSymbol);
// Noise standard deviation per real dimension for symbols of mean energy es.
double NoiseSigma(double esN0Db, double symbolEnergy);

// A constellation of M points, labelled by their position in the file.
struct Constellation {
    std::vector<double> i, q;
    int bitsPerSymbol = 0;  // floor(log2 M)
    // Reads the file with the LLR calculator's own reader, so that mapper and
    // table read it alike; throws std::runtime_error when it cannot be read
    // or holds fewer points than asked for (the node would take the missing
    // points as 0).
    static Constellation Read(const std::string& path, int points);
    // Mean of I^2 + Q^2 over the points.
    double averageEnergy() const;
};

// A link made ready to run, the same for both engines: the constellation
// read (refused when the file holds fewer points than asked), the noise level
// from Eb/N0 and the symbol energy, the LLR table's Es/N0 following the
// channel when asked, and the decoder's start moved past the m - 1 samples
// the LLR calculator emits before its first symbol, unless an offset is set.
struct PreparedLink {
    LinkDescription description;
    LinkGeometry geometry;
    Constellation constellation;  // no points for BPSK
    double symbolEnergy = 1.0;
    double sigma = 0.0;
};
PreparedLink PrepareLink(LinkDescription description);

// Throws std::runtime_error as a node that refuses its parameters says it.
[[noreturn]] void RefuseParameters(const char* node, const Status& status);

// What a pilot says when the decoded stream never returns the source bits.
extern const char kLinkMisaligned[];

}  // namespace tpc::link
