// The record of every setting of a tpcsim run, with its defaults. The
// options that set it are declared in sim/option_table.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/link_description.h"

namespace tpcsim {

// The link's defaults, which are the library's nodes' own.
inline const tpc::link::LinkDescription kLinkDefaults{};

struct SimOptions {
    // Product code, shared by encoder and decoder.
    int32_t nx = kLinkDefaults.code.nx, ny = kLinkDefaults.code.ny, nz = kLinkDefaults.code.nz;
    int32_t kx = kLinkDefaults.code.kx, ky = kLinkDefaults.code.ky, kz = kLinkDefaults.code.kz;
    // TPCENCODE.
    double threshold = kLinkDefaults.threshold;
    bool interleave = kLinkDefaults.interleave;        // encoder `interleave` and decoder `deinter`
    double encoderOffset = kLinkDefaults.encoderOffset;  // encoder `delay`, in input bits
    // TPCDECODE.
    // Maximum axis passes: one count, or several run on the same blocks and
    // noise (one row per point and count).
    std::vector<int32_t> iterations = {kLinkDefaults.decoder.iterations};
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
    // Channel: "awgn", "rayleigh" or "rician" (with ricianK); "fast" fading
    // draws a gain per symbol, "block" one per code block; `llr` "table" or
    // "exact" for constellations over fading.
    std::string channel = "awgn";
    double ricianK = 0;
    std::string fading = "fast";
    std::string llr = "table";
    // Sweep: the text as given ("START:STOP:STEP" or a comma list), in Eb/N0
    // or, when sweepIsEsN0, in Es/N0 (dB).
    std::string sweep = "2.0:3.4:0.1";
    bool sweepIsEsN0 = false;
    // Stop rules.
    int64_t errors = 100;       // block errors per point
    int64_t maxBlocks = 10000;  // blocks per point
    double minBer = 1e-7;       // end the sweep after a point below this BER (0: never)
    double minFer = 0;          // ... below this FER (0: never)
    // A point of --max-blocks blocks without a block error ends the sweep
    // unless this is set: the points above it would count nothing either.
    bool noZeroStop = false;
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
    // Failing blocks kept per point for `tpcsim replay` (0: none). Not part
    // of the experiment: a run keeps what it was asked to keep.
    int32_t keepFailures = 0;
    std::string out;            // output directory; empty: table only
    std::string configFile;
    bool quiet = false;
    std::string commandLine;    // as typed, for the record
};

}  // namespace tpcsim
