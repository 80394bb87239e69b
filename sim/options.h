// The options of tpcsim: one record holding every setting of a run, the
// parser that fills it from the command line and an optional config file,
// and the range checks made before anything runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sweep_engine.h"

namespace tpcsim {

struct SimOptions {
    // Product code, shared by encoder and decoder (the library's defaults:
    // extended Hamming (64, 57) on X and Y, no Z axis).
    int32_t nx = 64, ny = 64, nz = 1;
    int32_t kx = 57, ky = 57, kz = 1;
    // TPCENCODE.
    double threshold = 0.5;
    bool interleave = false;    // encoder `interleave` and decoder `deinter`
    double encoderOffset = 0;   // encoder `delay`, in input bits
    // TPCDECODE.
    int32_t iterations = 64;
    int32_t weights[3] = {7, 7, 7};  // NUMX, NUMY, NUMZ in sixteenths
    bool selectiveStop = false;
    int32_t resolution = 5;
    double quantLimit = 1.4;
    double offset = 0;  // decoder `delay`, in coded bits (0 with a constellation: aligned automatically)
    // Constellation and LLRcalculator; an empty file means BPSK into the decoder.
    std::string constellation;
    int32_t points = 0;           // M, required with a constellation
    bool llrEsNoFixed = false;    // false: Es/No follows the channel at each point
    double llrEsNo = 11.5;        // linear Es/No used when llrEsNoFixed
    double llrLimit = 1.5;
    int32_t llrResolution = 5;
    // Sweep: the text as given ("START:STOP:STEP" or a comma list), in Eb/N0
    // or, when sweepIsEsN0, in Es/N0 (dB).
    std::string sweep = "2.0:3.4:0.1";
    bool sweepIsEsN0 = false;
    // Stop rules.
    int64_t errors = 100;       // block errors per point
    int64_t maxBlocks = 10000;  // blocks per point
    double minBer = 1e-7;       // end the sweep after a point below this BER (0: never)
    // Execution and output.
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

// "64,57x64,57" or "16,11x16,11x8,4": n,k per axis, two or three axes.
// Throws std::invalid_argument.
void ParseCode(const std::string& text, SimOptions& options);

// Shell-quoted words joined by blanks.
std::string JoinCommandLine(const std::vector<std::string>& args);

}  // namespace tpcsim
