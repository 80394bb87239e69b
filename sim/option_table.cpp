// The rows of the option table and the handlers of its special options.
#include "sim/option_table.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "code/product_code.h"
#include "decoder/decoder_limits.h"
#include "llr/llr_table.h"
#include "sim/constellation_check.h"

namespace tpcsim {

namespace {

double ParseNumber(const std::string& text, const std::string& what) {
    size_t used = 0;
    double value = 0;
    try {
        value = std::stod(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || !std::isfinite(value)) {
        throw std::invalid_argument(what + ": \"" + text + "\" is not a number");
    }
    return value;
}

int32_t ParseInt(const std::string& text, const std::string& what) {
    const double value = ParseNumber(text, what);
    if (value != std::floor(value) || std::fabs(value) > 1e6) {
        throw std::invalid_argument(what + ": \"" + text + "\" is not an integer");
    }
    return static_cast<int32_t>(value);
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator)) parts.push_back(part);
    if (!text.empty() && text.back() == separator) parts.emplace_back();
    return parts;
}

// ---- the special options ----

void ApplyCode(const std::string& text, SimOptions& o, const GivenFn& given) {
    tpc::ProductCode code;
    const tpc::Status status = tpc::ParseProductCode(text, code);
    if (!status.ok()) throw std::invalid_argument(std::string("--code: ") + status.message);
    // The per-axis options given next to --code refine it.
    const struct {
        const char* name;
        int32_t SimOptions::*field;
        int32_t value;
    } axes[] = {{"--nx", &SimOptions::nx, code.nx}, {"--ny", &SimOptions::ny, code.ny},
                {"--nz", &SimOptions::nz, code.nz}, {"--kx", &SimOptions::kx, code.kx},
                {"--ky", &SimOptions::ky, code.ky}, {"--kz", &SimOptions::kz, code.kz}};
    for (const auto& axis : axes) {
        if (!given(axis.name)) o.*axis.field = axis.value;
    }
}

void ApplyWeights(const std::string& text, SimOptions& o, const GivenFn&) {
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 1 && parts.size() != 3) {
        throw std::invalid_argument("--weights: give X,Y,Z or one weight for all axes");
    }
    for (int axis = 0; axis < 3; ++axis) {
        o.weights[axis] = ParseInt(parts[parts.size() == 1 ? 0 : axis], "--weights");
    }
}

// "8" or "2,4,8": distinct counts, run in increasing order.
void ApplyIterations(const std::string& text, SimOptions& o, const GivenFn&) {
    std::vector<int32_t> counts;
    for (const std::string& part : Split(text, ',')) counts.push_back(ParseInt(part, "--iterations"));
    std::sort(counts.begin(), counts.end());
    if (std::adjacent_find(counts.begin(), counts.end()) != counts.end()) {
        throw std::invalid_argument("--iterations: a pass count is given twice");
    }
    o.iterations = counts;
}

void ApplyEbN0(const std::string& text, SimOptions& o, const GivenFn&) { o.sweep = text; }

void ApplyEsN0(const std::string& text, SimOptions& o, const GivenFn&) {
    o.sweep = text;
    o.sweepIsEsN0 = true;
}

void FixLlrEsNo(SimOptions& o) { o.llrEsNoFixed = true; }

std::string CheckConstellation(const SimOptions& o) {
    if (o.constellation.empty()) {
        return o.points != 0 || o.llrEsNoFixed ? "--points and --llr-esno need --constellation" : "";
    }
    std::ifstream file(o.constellation);
    return file ? "" : "cannot open the constellation file \"" + o.constellation + "\"";
}

// The file is checked against M here, once M is known to be usable.
std::string CheckPoints(const SimOptions& o) {
    if (o.constellation.empty()) return "";
    if (o.points < 2 || o.points > 256) return "--points (2 ... 256) is required with --constellation";
    return CheckConstellationFile(o.constellation, o.points).error;
}

std::string CheckLlrEsNo(const SimOptions& o) {
    const char* problem = tpc::EsNoProblem(o.llrEsNo);
    if (o.constellation.empty() || !o.llrEsNoFixed || problem == nullptr) return "";
    return std::string("--llr-esno") + problem;
}

std::string CheckLlrLimit(const SimOptions& o) {
    const char* problem = tpc::LimitProblem(o.llrLimit);
    return o.constellation.empty() || problem == nullptr ? "" : std::string("--llr-limit") + problem;
}

std::string CheckSweep(const SimOptions& o, bool esN0) {
    if (o.sweepIsEsN0 != esN0) return "";
    try {
        ParseSweep(o.sweep);
    } catch (const std::invalid_argument& e) {
        return std::string(esN0 ? "--esn0" : "--ebn0") + ": " + e.what();
    }
    return "";
}
std::string CheckEbN0(const SimOptions& o) { return CheckSweep(o, false); }
std::string CheckEsN0(const SimOptions& o) { return CheckSweep(o, true); }
bool SweepInEbN0(const SimOptions& o) { return !o.sweepIsEsN0; }
bool SweepInEsN0(const SimOptions& o) { return o.sweepIsEsN0; }
bool LlrEsNoFixed(const SimOptions& o) { return o.llrEsNoFixed; }

// The channel's keys stand in results.json only for a fading channel, so
// that AWGN runs keep the configuration they always had.
bool Fades(const SimOptions& o) { return o.channel != "awgn"; }

std::string CheckChannel(const SimOptions& o) {
    if (o.channel != "awgn" && o.channel != "rayleigh" && o.channel != "rician") {
        return "--channel must be awgn, rayleigh or rician";
    }
    if (o.fading != "fast" && o.fading != "block") return "--fading must be fast or block";
    if (o.llr != "table" && o.llr != "exact") return "--llr must be table or exact";
    if (o.llr == "exact" && o.constellation.empty()) {
        return "--llr exact needs a --constellation: BPSK's soft values come from the quantiser";
    }
    if (o.llr == "exact" && o.engine == "nodes") return "--llr exact: the LLR calculator node looks its LLRs up";
    if (o.channel != "awgn" && o.engine == "nodes") {
        return "--channel " + o.channel +
               ": the nodes engine models an AWGN link (a host places its own fading blocks); use --engine blocks";
    }
    return "";
}

std::string CheckMinBer(const SimOptions& o) {
    return o.minBer >= 0 && o.minBer < 1 ? "" : "--min-ber must lie in [0, 1)";
}

std::string CheckMinFer(const SimOptions& o) {
    return o.minFer >= 0 && o.minFer < 1 ? "" : "--min-fer must lie in [0, 1)";
}

// Stop rules added later stand in results.json only when they differ from
// their defaults, so that a default run still resumes an older directory.
bool MinFerSet(const SimOptions& o) { return o.minFer != 0; }
bool ZeroStopOff(const SimOptions& o) { return o.noZeroStop; }

std::string CheckThreads(const SimOptions& o) {
    return o.threads >= 0 && o.threads <= 1024 ? "" : "--threads must be between 0 (all cores) and 1024";
}

std::string Number(double value) {
    std::ostringstream text;
    text << value;
    return text.str();
}

// The link counts errors from the first source bit and decodes whole
// blocks of the encoder's: the encoder must start there and the decoder on a
// block boundary (behind a constellation m - 1 samples later, which an
// offset of 0 means).
std::string CheckOffsets(const SimOptions& o) {
    if (!(o.offset >= 0 && o.offset <= 1e6)) return RangeMessage("--offset", 0, 1e6);
    if (o.encoderOffset != 0) {
        return "--encoder-offset " + Number(o.encoderOffset) +
               ": the encoder would drop the first source bits, which the link counts errors against; "
               "tpcsim runs links whose encoder starts at once (0)";
    }
    const int64_t n = static_cast<int64_t>(o.nx) * o.ny * o.nz;
    const int m = o.constellation.empty() ? 1 : tpc::BitsPerSymbol(o.points);
    const double start = o.offset - (m - 1);
    if (o.offset != 0 && start != 0 && start != static_cast<double>(n)) {
        const std::string choices = "use 0 or " + (m == 1 ? std::to_string(n)
                                                       : std::to_string(m - 1) + " or " + std::to_string(n + m - 1)) +
                                    " (N = " + std::to_string(n) + ")";
        const bool wholeBlocks = start > 0 && std::fmod(start, static_cast<double>(n)) == 0;
        return "--offset " + Number(o.offset) +
               (wholeBlocks ? ": the decoder would start after the first block, which the link counts errors from; "
                            : ": the decoder's blocks would straddle the encoder's; ") + choices;
    }
    return "";
}

// A Z axis of one information layer: the nodes accept it, but encode and
// decode only the first layer, so the link would send a layer of nothing.
std::string CheckCodeShape(const SimOptions& o) {
    if (o.nz > 1 && o.kz == 1) {
        return "--nz " + std::to_string(o.nz) + " with --kz 1: the nodes encode and decode only the "
               "first layer of such a block; use --nz 1 --kz 1 for a two-dimensional code, or kz >= 2";
    }
    return "";
}

// The nodes' meter sees the information bits of a stream, not blocks.
std::string CheckKeepFailures(const SimOptions& o) {
    if (o.keepFailures < 0 || o.keepFailures > 100000) return RangeMessage("--keep-failures", 0, 100000);
    if (o.keepFailures > 0 && o.engine == "nodes") {
        return "--keep-failures: the nodes engine does not see single blocks; use --engine blocks (same blocks)";
    }
    return "";
}

std::string CheckEngine(const SimOptions& o) {
    return o.engine == "blocks" || o.engine == "nodes" ? "" : "--engine must be blocks or nodes";
}

// Name, group, help, field, bounds, constellation only, in results.json: the
// special handlers are added by MakeTable below.
std::vector<OptionRow> PlainRows() {
    using S = SimOptions;
    const Bounds dimension{Rule::kRange, 1, 256}, offset{Rule::kRange, 0, 1e6};
    return {
        {"--config", "", "JSON or key = value file of options (the command line wins)", &S::configFile,
         {}, false, false},
        {"--code", "Code", "n,k per axis: 64,57x64,57 or 16,11x16,11x16,11", {}},
        {"--nx", "Code", "X code length", &S::nx, dimension},
        {"--ny", "Code", "Y code length", &S::ny, dimension},
        {"--nz", "Code", "Z code length (1: no Z axis)", &S::nz, dimension},
        {"--kx", "Code", "X information bits", &S::kx, dimension},
        {"--ky", "Code", "Y information bits", &S::ky, dimension},
        {"--kz", "Code", "Z information bits", &S::kz, dimension},
        {"--threshold", "Encoder", "encoder hard-decision threshold", &S::threshold, {Rule::kFinite}},
        {"--interleave", "Encoder", "helical interleave (encoder) and deinterleave (decoder)",
         &S::interleave},
        {"--encoder-offset", "Encoder", "encoder start offset, input bits", &S::encoderOffset, offset},
        {"--iterations", "Decoder", "decoder axis passes; a list N,M,... runs each on the same blocks",
         &S::iterations, {Rule::kRange, 0, tpc::kMaxDecoderPasses}},
        {"--weights", "Decoder", "feedback weights X,Y,Z in sixteenths", &S::weights,
         {Rule::kRange, tpc::kFeedbackWeight.min, tpc::kFeedbackWeight.max}},
        {"--selective-stop", "Decoder", "selective (early) stop of the iterations", &S::selectiveStop},
        {"--resolution", "Decoder", "BPSK quantiser resolution, bits", &S::resolution,
         {Rule::kRange, tpc::kQuantizerResolution.min, tpc::kQuantizerResolution.max}},
        {"--quant-limit", "Decoder", "BPSK quantiser limit", &S::quantLimit, {Rule::kPositive}},
        {"--offset", "Decoder", "decoder start offset, coded bits", &S::offset, offset},
        {"--constellation", "Constellation", "constellation file: use the mapper and LLRcalculator",
         &S::constellation, {}, true},
        {"--points", "Constellation", "number of constellation points M (2 ... 256)", &S::points, {}, true},
        {"--llr-esno", "Constellation", "fixed linear Es/No of the LLR table (default: the channel's)",
         &S::llrEsNo, {}, true},
        {"--llr-limit", "Constellation", "LLR table quantisation limit L (> 0.001)", &S::llrLimit,
         {}, true},
        {"--llr-resolution", "Constellation", "LLR `res` field (not used by the table)", &S::llrResolution,
         {Rule::kPositiveInt}, true},
        {"--channel", "Channel", "awgn, rayleigh or rician (block engine only for fading)", &S::channel},
        {"--rician-k", "Channel", "Rician K: line-of-sight to scattered power", &S::ricianK, {Rule::kAtLeast, 0}},
        {"--fading", "Channel", "fast: a gain per symbol; block: one per code block", &S::fading},
        {"--llr", "Channel", "table: the LLR table scaled by the gain; exact: per-symbol log-sum-exp",
         &S::llr},
        {"--ebn0", "Sweep", "Eb/N0 points, dB: START:STOP:STEP or a,b,c", &S::sweep},
        {"--esn0", "Sweep", "Es/N0 points instead, dB", &S::sweep},
        {"--errors", "Sweep", "block errors that end a point", &S::errors, {Rule::kAtLeast, 1}},
        {"--max-blocks", "Sweep", "blocks that end a point", &S::maxBlocks, {Rule::kAtLeast, 1}},
        {"--min-ber", "Sweep", "end the sweep after a point whose BER upper bound (95%) is below this (0: never)", &S::minBer},
        {"--min-fer", "Sweep", "end the sweep after a point whose FER upper bound (95%) is below this (0: never)",
         &S::minFer},
        {"--no-zero-stop", "Sweep",
         "go on after a point of --max-blocks blocks without a block error (by default the sweep ends there)",
         &S::noZeroStop},
        {"--max-time-per-point", "Sweep", "end a point after this many seconds (0: no limit)",
         &S::maxTimePerPoint, {Rule::kRange, 0, 1e9}},
        {"--max-time", "Sweep", "end the sweep after this many seconds (0: no limit)", &S::maxTime,
         {Rule::kRange, 0, 1e9}},
        {"--resume", "Run", "continue the sweep in this results directory: its points are kept",
         &S::resume, {}, false, false},
        {"--engine", "Run",
         "blocks: the link a block at a time; nodes: through the library's entry points, sample by "
         "sample (slower, same counts)",
         &S::engine},
        {"--threads", "Run",
         "worker threads of each process (default: all cores, shared by the MPI ranks on a machine)",
         &S::threads, {}, false, false},
        {"--seed", "Run", "seed of every noise and data stream", &S::seed},
        {"--batch", "Run", "blocks per work unit", &S::batch, {Rule::kRange, 1, 1e6}},
        {"--out", "Run", "directory for results.csv, results.json, ber.png, ber.svg", &S::out, {}, false,
         false},
        {"--keep-failures", "Run", "failing blocks kept per point (results.json, failures.csv) for `tpcsim replay`",
         &S::keepFailures, {}, false, false},
        {"--quiet", "Run", "no progress display", &S::quiet, {}, false, false},
    };
}

std::vector<OptionRow> MakeTable() {
    std::vector<OptionRow> t = PlainRows();
    auto row = [&t](const std::string& name) -> OptionRow& {
        for (OptionRow& r : t) {
            if (name == r.name) return r;
        }
        throw std::logic_error("no option " + name);
    };
    row("--code").fromText = ApplyCode;
    row("--weights").fromText = ApplyWeights;
    row("--iterations").fromText = ApplyIterations;
    row("--constellation").check = CheckConstellation;
    row("--points").check = CheckPoints;
    OptionRow& llrEsNo = row("--llr-esno");
    llrEsNo.shownDefault = "channel";
    llrEsNo.whenGiven = FixLlrEsNo;
    llrEsNo.check = CheckLlrEsNo;
    llrEsNo.written = LlrEsNoFixed;
    row("--llr-limit").check = CheckLlrLimit;
    OptionRow& ebN0 = row("--ebn0");
    ebN0.excludes = "--esn0";
    ebN0.fromText = ApplyEbN0;
    ebN0.check = CheckEbN0;
    ebN0.written = SweepInEbN0;
    OptionRow& esN0 = row("--esn0");
    esN0.shownDefault = "";
    esN0.fromText = ApplyEsN0;
    esN0.check = CheckEsN0;
    esN0.written = SweepInEsN0;
    for (const char* name : {"--iterations", "--weights", "--resolution"}) row(name).rangeInHelp = true;
    row("--min-ber").check = CheckMinBer;
    row("--min-fer").check = CheckMinFer;
    row("--min-fer").written = MinFerSet;
    row("--no-zero-stop").written = ZeroStopOff;
    row("--engine").check = CheckEngine;
    row("--keep-failures").check = CheckKeepFailures;
    row("--channel").check = CheckChannel;
    for (const char* name : {"--channel", "--rician-k", "--fading", "--llr"}) row(name).written = Fades;
    row("--code").check = CheckCodeShape;
    row("--offset").check = CheckOffsets;
    row("--threads").shownDefault = "all";
    row("--threads").check = CheckThreads;
    return t;
}

}  // namespace

std::string RangeMessage(const std::string& name, double low, double high) {
    std::ostringstream text;
    text << name << " must be between " << low << " and " << high;
    return text.str();
}

const std::vector<OptionRow>& OptionTable() {
    static const std::vector<OptionRow> table = MakeTable();
    return table;
}

std::vector<double> ParseSweep(const std::string& text) {
    std::vector<double> points;
    if (text.find(':') != std::string::npos) {
        const std::vector<std::string> parts = Split(text, ':');
        if (parts.size() != 3) throw std::invalid_argument("sweep: expected START:STOP:STEP");
        const double start = ParseNumber(parts[0], "sweep start");
        const double stop = ParseNumber(parts[1], "sweep stop");
        const double step = ParseNumber(parts[2], "sweep step");
        if (step == 0 || (stop - start) * step < 0) {
            throw std::invalid_argument("sweep: the step must lead from START to STOP");
        }
        const double count = std::floor((stop - start) / step + 1e-6) + 1;
        if (count > 1000) throw std::invalid_argument("sweep: more than 1000 points");
        for (int i = 0; i < static_cast<int>(count); ++i) points.push_back(start + i * step);
    } else {
        for (const std::string& part : Split(text, ',')) {
            points.push_back(ParseNumber(part, "sweep point"));
        }
        if (points.size() > 1000) throw std::invalid_argument("sweep: more than 1000 points");
    }
    if (points.empty()) throw std::invalid_argument("sweep: no points");
    for (double p : points) {
        if (p < -50 || p > 100) throw std::invalid_argument("sweep: points must lie in -50 ... 100 dB");
    }
    return points;
}

}  // namespace tpcsim
