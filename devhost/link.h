// A whole coded link in one diagram, run through the library's real entry
// points:
//
//   random bits -> TPCENCODE -> BPSK ------------> AWGN -----------------> TPCDECODE -> meter
//                           \-> symbol mapper -> AWGN (I, Q) -> LLRcalculator -/
//
// The source runs at K bits per second, so one block takes one second and
// the system rate equals the coded rate N.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devhost/channel_blocks.h"
#include "devhost/library.h"
#include "host/records.h"

namespace devhost {

struct LinkConfig {
    EncoderParams encoder{};  // written by DefaultLinkConfig
    DecoderParams decoder{};
    LlrParams llr{};
    // Empty: BPSK straight into the decoder. Otherwise the constellation file
    // read by both the mapper and LLRcalculator (`llr.numsym` points).
    std::string constellation;
    // true: LLRcalculator's Es/No follows the channel (1 / N0); false: the
    // value in `llr.esno` is used as it stands.
    bool llrEsNoFromChannel = true;
    double ebN0Db = 3.0;
    bool noiseless = false;
};

// The library's defaults for all three blocks, coherent with each other:
// as the loaded library writes them, or from the library's code linked in
// (the same blocks; a test holds them equal).
LinkConfig DefaultLinkConfig(const Library& library);
LinkConfig BuiltInLinkConfig();

// Derived quantities of a configuration.
struct LinkGeometry {
    int64_t infoBits;   // K
    int64_t codeBits;   // N
    int bitsPerSymbol;  // 1 for BPSK
    double codeRate() const { return static_cast<double>(infoBits) / codeBits; }
};
LinkGeometry GeometryOf(const LinkConfig& config);

// Es/N0 in dB of a symbol for a given Eb/N0 in dB (Es = R * m * Eb), and back.
double EsN0DbFromEbN0Db(double ebN0Db, double codeRate, int bitsPerSymbol);
double EbN0DbFromEsN0Db(double esN0Db, double codeRate, int bitsPerSymbol);
// Noise standard deviation per real dimension for symbols of mean energy es.
double NoiseSigma(double esN0Db, double symbolEnergy);

struct LinkCounts {
    int64_t blocks = 0;
    int64_t bits = 0;
    int64_t bitErrors = 0;
    int64_t blockErrors = 0;
    // Sum over blocks of the square of each block's bit errors, for the
    // spread of the errors between blocks; held at INT64_MAX rather than
    // wrapped, which takes blocks of millions of errors each.
    int64_t bitErrorsSquared = 0;
    // Axis passes the decoder ran over the counted blocks; the block engine
    // knows them, the nodes do not report them (0).
    int64_t passes = 0;
    LinkCounts& operator+=(const LinkCounts& o) {
        blocks += o.blocks;
        bits += o.bits;
        bitErrors += o.bitErrors;
        blockErrors += o.blockErrors;
        bitErrorsSquared = SaturatingSum(bitErrorsSquared, o.bitErrorsSquared);
        passes += o.passes;
        return *this;
    }
    static int64_t SaturatingSum(int64_t a, int64_t b) {
        return a > INT64_MAX - b ? INT64_MAX : a + b;
    }
};

// A configuration made ready to run, the same for both engines: the
// constellation read (refused when the file holds fewer points than asked),
// the decoder switched to integer input behind the LLR calculator, the noise
// level from Eb/N0 and the symbol energy, the LLR table's Es/N0 following the
// channel when asked, and the decoder's start moved past the m - 1 samples
// the LLR calculator emits before its first symbol, unless an offset is set.
struct PreparedLink {
    LinkConfig config;
    LinkGeometry geometry;
    Constellation constellation;  // no points for BPSK
    double symbolEnergy = 1.0;
    double sigma = 0.0;
};
PreparedLink PrepareLink(LinkConfig config);

// What a pilot says when the decoded stream never returns the source bits.
extern const char kLinkMisaligned[];

class Link {
public:
    // Checks the configuration by running the chain without noise and finds
    // how many decoded samples precede the first real block; throws
    // std::runtime_error with the node's message if a node refuses it, or
    // when the chain does not return the source bits.
    Link(const Library& library, LinkConfig config);
    ~Link();

    // Runs `blocks` information blocks with noise seeded by `seed` (a fresh
    // run of the diagram: every node initialised, run and finalised).
    LinkCounts run(int64_t blocks, uint64_t seed);

    const LinkConfig& config() const { return config_; }
    const LinkGeometry& geometry() const { return geometry_; }
    int64_t lag() const { return lag_; }
    double noiseSigma() const { return sigma_; }

private:
    struct Parts;
    LinkCounts runOnce(int64_t blocks, uint64_t seed, bool noiseless, bool capture);

    const Library& library_;
    LinkConfig config_;
    LinkGeometry geometry_;
    double symbolEnergy_ = 1.0;
    double sigma_ = 0.0;
    int64_t lag_ = 0;
    std::unique_ptr<Parts> parts_;
};

}  // namespace devhost
