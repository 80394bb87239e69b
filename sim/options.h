// The options of tpcsim: one record holding every setting of a run, the
// parser that fills it from the command line and an optional config file,
// and the range checks made before anything runs. Each option is declared
// once, in sim/option_table.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/link_spec.h"

namespace tpcsim {

// The link's defaults, which are the library's nodes' own.
inline const tpc::link::LinkSpec kLinkDefaults{};

struct SimOptions {
    // Product code, shared by encoder and decoder.
    int32_t nx = kLinkDefaults.code.nx, ny = kLinkDefaults.code.ny, nz = kLinkDefaults.code.nz;
    int32_t kx = kLinkDefaults.code.kx, ky = kLinkDefaults.code.ky, kz = kLinkDefaults.code.kz;
    // TPCENCODE.
    double threshold = kLinkDefaults.threshold;
    bool interleave = kLinkDefaults.interleave;        // encoder `interleave` and decoder `deinter`
    double encoderOffset = kLinkDefaults.encoderOffset;  // encoder `delay`, in input bits
    // TPCDECODE.
    int32_t iterations = kLinkDefaults.decoder.iterations;
    int32_t weights[3] = {kLinkDefaults.decoder.weights[0], kLinkDefaults.decoder.weights[1],
                          kLinkDefaults.decoder.weights[2]};  // in sixteenths
    bool selectiveStop = kLinkDefaults.decoder.selectiveStop;
    int32_t resolution = kLinkDefaults.resolution;
    double quantLimit = kLinkDefaults.quantLimit;
    // Decoder `delay`, in coded bits (0 with a constellation: aligned automatically).
    double offset = kLinkDefaults.decoderOffset;
    // Constellation and LLRcalculator; an empty file means BPSK into the decoder.
    std::string constellation;
    // M. Not the node's default of 2: a constellation file is read with the
    // number of points given for it, so tpcsim asks for it rather than guess.
    int32_t points = 0;
    // tpcsim sweeps the noise, so by default the LLR table's Es/No follows
    // the channel at each point; the node's fixed esno is used only when
    // --llr-esno is given.
    bool llrEsNoFixed = false;
    double llrEsNo = kLinkDefaults.llrEsNo;  // linear
    double llrLimit = kLinkDefaults.llrLimit;
    int32_t llrResolution = kLinkDefaults.llrResolution;
    // Sweep: the text as given ("START:STOP:STEP" or a comma list), in Eb/N0
    // or, when sweepIsEsN0, in Es/N0 (dB).
    std::string sweep = "2.0:3.4:0.1";
    bool sweepIsEsN0 = false;
    // Stop rules.
    int64_t errors = 100;       // block errors per point
    int64_t maxBlocks = 10000;  // blocks per point
    double minBer = 1e-7;       // end the sweep after a point below this BER (0: never)
    // Execution and output.
    // "blocks": the link a block at a time (link/block_engine.h); "nodes":
    // through the library's entry points, sample by sample. Same counts.
    std::string engine = "blocks";
    // Time limits, seconds (0: none): a point, and the whole sweep, end at
    // the end of the work unit running when they pass.
    double maxTimePerPoint = 0;
    double maxTime = 0;
    // A results directory to continue: its points of the same configuration
    // are kept, the others run; the files are written there.
    std::string resume;
    int threads = 0;            // 0: all cores
    uint64_t seed = 1;
    int64_t batch = 32;         // blocks per work unit
    std::string out;            // output directory; empty: table only
    std::string configFile;
    bool quiet = false;
    std::string commandLine;    // as typed, for the record
};

struct ParseOutcome {
    SimOptions options;
    // -1: go on and run; otherwise exit with this code after printing
    // `message` (0 for --help and --version, 2 for bad options).
    int exitCode = -1;
    std::string message;
};

// Parses `args` (args[0] is the program name). With no argument at all the
// embedded default run is chosen: the defaults above with output to
// "results". Never throws.
ParseOutcome ParseOptions(const std::vector<std::string>& args);

// Range checks on a parsed record; the first problem as a message, or "".
std::string ValidateOptions(const SimOptions& options);

// "A:B:S" (inclusive of B within a small tolerance) or "a,b,c", in dB.
// Throws std::invalid_argument with a message on malformed text.
std::vector<double> ParseSweep(const std::string& text);

}  // namespace tpcsim
