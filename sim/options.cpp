#include "sim/options.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <CLI/CLI.hpp>

#include "sim/config_file.h"

namespace tpcsim {

namespace {

// Lets CLI11 read our config files (JSON or key = value) while it keeps its
// own rule that the command line wins over the file.
class ConfigAdapter : public CLI::ConfigBase {
public:
    std::vector<CLI::ConfigItem> from_config(std::istream& input) const override {
        const std::string text{std::istreambuf_iterator<char>(input),
                               std::istreambuf_iterator<char>()};
        std::vector<CLI::ConfigItem> items;
        for (auto& [key, value] : ReadConfigText(text)) {
            CLI::ConfigItem item;
            item.name = key;
            item.inputs = {value};
            items.push_back(std::move(item));
        }
        return items;
    }
};

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

void ParseWeights(const std::string& text, SimOptions& options) {
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() != 1 && parts.size() != 3) {
        throw std::invalid_argument("--weights: give X,Y,Z or one weight for all axes");
    }
    for (int axis = 0; axis < 3; ++axis) {
        options.weights[axis] = ParseInt(parts[parts.size() == 1 ? 0 : axis], "--weights");
    }
}

std::string Range(const std::string& name, double low, double high) {
    std::ostringstream text;
    text << name << " must be between " << low << " and " << high;
    return text.str();
}

}  // namespace

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

void ParseCode(const std::string& text, SimOptions& options) {
    const std::vector<std::string> axes = Split(text, 'x');
    if (axes.size() != 2 && axes.size() != 3) {
        throw std::invalid_argument("--code: expected n,k x n,k [x n,k], e.g. 64,57x64,57");
    }
    int32_t n[3] = {1, 1, 1}, k[3] = {1, 1, 1};
    for (size_t a = 0; a < axes.size(); ++a) {
        const std::vector<std::string> nk = Split(axes[a], ',');
        if (nk.size() != 2) throw std::invalid_argument("--code: each axis is n,k (got \"" + axes[a] + "\")");
        n[a] = ParseInt(nk[0], "--code");
        k[a] = ParseInt(nk[1], "--code");
    }
    options.nx = n[0], options.kx = k[0];
    options.ny = n[1], options.ky = k[1];
    options.nz = n[2], options.kz = k[2];
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        const bool plain = !arg.empty() &&
                           arg.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                 "0123456789-_=.,:/+@%") == std::string::npos;
        if (plain) {
            line += arg;
        } else {
            line += '\'';
            for (char c : arg) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
            line += '\'';
        }
    }
    return line;
}

ParseOutcome ParseOptions(const std::vector<std::string>& args) {
    ParseOutcome outcome;
    SimOptions& o = outcome.options;
    o.commandLine = JoinCommandLine(args);
    if (args.size() <= 1) {
        // The embedded default: enough blocks per point that the BER near
        // 1e-6 rests on a handful of block errors, about a minute on 2 cores.
        o.out = "results";
        o.maxBlocks = 50000;
        return outcome;
    }

    CLI::App app{"tpcsim: error rates of a turbo product code link, run through the library's nodes.\n"
                 "Without arguments: the default code over BPSK, written to results/."};
    app.config_formatter(std::make_shared<ConfigAdapter>());
    app.allow_config_extras(false);
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("tpcsim ") + TPCSIM_VERSION);

    std::string code, weights, ebn0, esn0;
    double llrEsNo = 0;
    app.set_config("--config", "", "JSON or key = value file of options (the command line wins)");
    app.add_option("--code", code, "n,k per axis: 64,57x64,57 or 16,11x16,11x16,11")->group("Code");
    app.add_option("--nx", o.nx, "X code length")->group("Code");
    app.add_option("--ny", o.ny, "Y code length")->group("Code");
    app.add_option("--nz", o.nz, "Z code length (1: no Z axis)")->group("Code");
    app.add_option("--kx", o.kx, "X information bits")->group("Code");
    app.add_option("--ky", o.ky, "Y information bits")->group("Code");
    app.add_option("--kz", o.kz, "Z information bits")->group("Code");
    app.add_option("--threshold", o.threshold, "encoder hard-decision threshold")->group("Encoder");
    app.add_flag("--interleave", o.interleave, "helical interleave (encoder) and deinterleave (decoder)")
        ->group("Encoder");
    app.add_option("--encoder-offset", o.encoderOffset, "encoder start offset, input bits")->group("Encoder");
    app.add_option("--iterations", o.iterations, "decoder axis passes (0 ... 128)")->group("Decoder");
    app.add_option("--weights", weights, "feedback weights X,Y,Z in sixteenths (1 ... 16)")
        ->default_str("7,7,7")->group("Decoder");
    app.add_flag("--selective-stop", o.selectiveStop, "selective (early) stop of the iterations")
        ->group("Decoder");
    app.add_option("--resolution", o.resolution, "BPSK quantiser resolution, bits (1 ... 31)")->group("Decoder");
    app.add_option("--quant-limit", o.quantLimit, "BPSK quantiser limit")->group("Decoder");
    app.add_option("--offset", o.offset, "decoder start offset, coded bits")->group("Decoder");
    app.add_option("--constellation", o.constellation, "constellation file: use the mapper and LLRcalculator")
        ->group("Constellation");
    app.add_option("--points", o.points, "number of constellation points M (2 ... 256)")->group("Constellation");
    app.add_option("--llr-esno", llrEsNo, "fixed linear Es/No of the LLR table (default: the channel's)")
        ->default_str("channel")->group("Constellation");
    app.add_option("--llr-limit", o.llrLimit, "LLR table quantisation limit L (> 0.001)")->group("Constellation");
    app.add_option("--llr-resolution", o.llrResolution, "LLR `res` field (not used by the table)")
        ->group("Constellation");
    auto* ebn0Option = app.add_option("--ebn0", ebn0, "Eb/N0 points, dB: START:STOP:STEP or a,b,c")
                           ->default_str(o.sweep)->group("Sweep");
    auto* esn0Option = app.add_option("--esn0", esn0, "Es/N0 points instead, dB")->group("Sweep");
    ebn0Option->excludes(esn0Option);
    app.add_option("--errors", o.errors, "block errors that end a point")->group("Sweep");
    app.add_option("--max-blocks", o.maxBlocks, "blocks that end a point")->group("Sweep");
    app.add_option("--min-ber", o.minBer, "end the sweep after a point with a BER below this (0: never)")
        ->group("Sweep");
    app.add_option("--threads", o.threads,
                   "worker threads of each process (default: all cores, shared by the MPI ranks on a machine)")
        ->default_str("all")
        ->group("Run");
    app.add_option("--seed", o.seed, "seed of every noise and data stream")->group("Run");
    app.add_option("--batch", o.batch, "blocks per work unit")->group("Run");
    app.add_option("--out", o.out, "directory for results.csv, results.json, ber.png, ber.svg")->group("Run");
    app.add_flag("--quiet", o.quiet, "no progress display")->group("Run");

    try {
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (!code.empty()) {
            // The per-axis options given next to --code refine it.
            const SimOptions before = o;
            ParseCode(code, o);
            const std::pair<const char*, int32_t SimOptions::*> axes[] = {
                {"--nx", &SimOptions::nx}, {"--ny", &SimOptions::ny}, {"--nz", &SimOptions::nz},
                {"--kx", &SimOptions::kx}, {"--ky", &SimOptions::ky}, {"--kz", &SimOptions::kz}};
            for (const auto& [name, field] : axes) {
                if (app.count(name) > 0) o.*field = before.*field;
            }
        }
        if (!weights.empty()) ParseWeights(weights, o);
        if (app.count("--llr-esno") > 0) {
            o.llrEsNoFixed = true;
            o.llrEsNo = llrEsNo;
        }
        if (!esn0.empty()) {
            o.sweep = esn0;
            o.sweepIsEsN0 = true;
        } else if (!ebn0.empty()) {
            o.sweep = ebn0;
        }
        if (const auto* config = app.get_config_ptr(); config != nullptr && config->count() > 0) {
            o.configFile = config->as<std::string>();
        }
    } catch (const CLI::CallForHelp&) {
        outcome.exitCode = 0;
        outcome.message = app.help();
        return outcome;
    } catch (const CLI::CallForVersion&) {
        outcome.exitCode = 0;
        outcome.message = std::string("tpcsim ") + TPCSIM_VERSION + "\n";
        return outcome;
    } catch (const CLI::ParseError& e) {
        outcome.exitCode = 2;
        outcome.message = std::string("tpcsim: ") + e.what() + "\nRun with --help for the options.\n";
        return outcome;
    } catch (const std::exception& e) {
        outcome.exitCode = 2;
        outcome.message = std::string("tpcsim: ") + e.what() + "\n";
        return outcome;
    }
    return outcome;
}

std::string ValidateOptions(const SimOptions& o) {
    const std::pair<const char*, int32_t> dims[] = {{"--nx", o.nx}, {"--ny", o.ny}, {"--nz", o.nz},
                                                    {"--kx", o.kx}, {"--ky", o.ky}, {"--kz", o.kz}};
    for (const auto& [name, value] : dims) {
        if (value < 1 || value > 256) return Range(name, 1, 256);
    }
    if (!std::isfinite(o.threshold)) return "--threshold must be a finite number";
    if (!(o.encoderOffset >= 0 && o.encoderOffset <= 1e6)) return Range("--encoder-offset", 0, 1e6);
    if (o.iterations < 0 || o.iterations > 128) return Range("--iterations", 0, 128);
    for (int32_t w : o.weights) {
        if (w < 1 || w > 16) return Range("each of --weights", 1, 16);
    }
    if (o.resolution < 1 || o.resolution > 31) return Range("--resolution", 1, 31);
    if (!(o.quantLimit > 0) || !std::isfinite(o.quantLimit)) return "--quant-limit must be a positive number";
    if (!(o.offset >= 0 && o.offset <= 1e6)) return Range("--offset", 0, 1e6);
    if (!o.constellation.empty()) {
        if (o.points < 2 || o.points > 256) return "--points (2 ... 256) is required with --constellation";
        if (!(o.llrLimit > 0.001) || !std::isfinite(o.llrLimit)) return "--llr-limit must be greater than 0.001";
        if (o.llrEsNoFixed && !(o.llrEsNo > 0 && std::isfinite(o.llrEsNo))) {
            return "--llr-esno must be a positive number (a ratio, not dB)";
        }
        if (o.llrResolution < 1) return "--llr-resolution must be a positive integer";
        std::ifstream file(o.constellation);
        if (!file) return "cannot open the constellation file \"" + o.constellation + "\"";
    } else if (o.points != 0 || o.llrEsNoFixed) {
        return "--points and --llr-esno need --constellation";
    }
    try {
        ParseSweep(o.sweep);
    } catch (const std::invalid_argument& e) {
        return std::string(o.sweepIsEsN0 ? "--esn0" : "--ebn0") + ": " + e.what();
    }
    if (o.errors < 1) return "--errors must be at least 1";
    if (o.maxBlocks < 1) return "--max-blocks must be at least 1";
    if (!(o.minBer >= 0 && o.minBer < 1)) return "--min-ber must lie in [0, 1)";
    if (o.threads < 0 || o.threads > 1024) return Range("--threads", 1, 1024);
    if (o.batch < 1 || o.batch > 1000000) return Range("--batch", 1, 1000000);
    return "";
}

}  // namespace tpcsim
