// `tpcsim replay` and tpc.replay: a failing block kept by --keep-failures
// regenerated bit for bit from the run's seed (the unit's seed as the sweep
// derives it, the block engine run up to the block), with what the link
// made of it, a summary, its files and a picture of its error pattern.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "code/product_code.h"
#include "link/block_engine.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

// A replay refused before anything runs (exit code 2): no such point or
// failure, a directory without a run or of pooled seeds.
class ReplayRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ReplayedFailure {
    double ebN0Db = 0, esN0Db = 0;
    int failure = 0;  // from 1 within its point
    KeptFailure recorded;
    uint64_t unitSeed = 0;
    tpc::ProductCode code;
    tpc::link::BlockTrace trace;
    // Block order, 1 where a code bit is wrong: the decisions, and the
    // channel's hard decisions (a decoder input above 0 reads 1, as the
    // decoder's first pass reads it).
    std::vector<uint8_t> decodingErrors, channelErrors;

    int64_t bitErrors() const { return trace.counts.bitErrors; }
    bool detected() const { return trace.counts.undetectedBlocks == 0; }
    // Whether the block came back as the run counted it.
    bool matchesRecord() const;
};

// Regenerates failure `failure` (from 1) of the point at `ebN0Db` in the
// results directory `dir`, at pass count `iterations` (below 0: the run's
// only one). Throws ReplayRefused.
ReplayedFailure ReplayFailure(const std::string& dir, double ebN0Db, int failure, int64_t iterations = -1);

// Lines of a code along `axis` (0: x rows, 1: y columns, 2: z) holding at
// least one of `errors` (block order).
int64_t LinesInError(const tpc::ProductCode& code, const std::vector<uint8_t>& errors, int axis);

// The shape of a block's arrays as NumPy users index them, [z][y][x] (the z
// axis only for three-dimensional codes): of the N code bits, or of the K
// information bits.
std::vector<int64_t> BlockShape(const tpc::ProductCode& code, bool information);

// The one-screen summary tpcsim prints.
std::string ReplaySummary(const ReplayedFailure& replay);

// Writes the block into `dir` (created): summary.txt, CSV and .npy files,
// error_pattern.gp and error_pattern.png. Returns a note about the picture
// ("" when it was drawn). Throws std::runtime_error when a file cannot be
// written.
std::string WriteReplay(const ReplayedFailure& replay, const std::string& dir);

// tpcsim replay DIR --point EBN0 --failure N [--out DIR2]; the exit code.
int RunReplayCommand(const std::vector<std::string>& args);

}  // namespace tpcsim
