#include "sim/plot_command.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "sim/plot_script.h"
#include "sim/text_file.h"
#include "sim/text_format.h"

namespace tpcsim {

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: tpcsim plot DIR[=LABEL]... -o FILE [--title T] [--ebn0-range LO:HI] [--ber-range LO:HI] [--fer]\n"
    "  BER (solid) and FER (dashed) of the result directories DIR (results.csv and results.json each)\n"
    "  on one plot; FILE ending in .png, .svg or .pdf. Needs gnuplot (.pdf: with its cairo terminals).\n"
    "  =LABEL       the run's legend text (default: what differs between the runs)\n"
    "  --title T    the plot's title\n"
    "  --ebn0-range LO:HI  the Eb/N0 axis, in dB\n"
    "  --ber-range LO:HI   the error rate axis, 0 < LO < HI\n"
    "  --fer        the FER only, solid, with the outage probability of block fading runs\n"
    "  A run of several pass counts (--iterations N,M,...) gives a curve per count, and FILE-passes.EXT\n"
    "  beside FILE draws its BER and FER against the passes, a curve per point.\n";

// "LO:HI" of an option; throws std::invalid_argument.
PlotRange ParseRange(const std::string& option, const std::string& text, bool positive) {
    const size_t colon = text.find(':');
    const auto number = [&](const std::string& part, double* value) {
        char* end = nullptr;
        *value = std::strtod(part.c_str(), &end);
        return !part.empty() && *end == '\0' && std::isfinite(*value);
    };
    PlotRange range;
    range.set = true;
    if (colon == std::string::npos || !number(text.substr(0, colon), &range.low) ||
        !number(text.substr(colon + 1), &range.high)) {
        throw std::invalid_argument(option + " takes LO:HI, two numbers, not \"" + text + "\"");
    }
    if (positive && !(range.low > 0)) throw std::invalid_argument(option + ": the error rates must be above 0");
    if (!(range.low < range.high)) throw std::invalid_argument(option + ": LO must be below HI, not " + text);
    return range;
}

struct Run {
    fs::path dir;
    nlohmann::json json;
    std::vector<PlotRow> rows;
    std::string legend;
    bool passList = false;  // rows of several pass counts
};

std::vector<std::string> SplitCsvLine(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
    return fields;
}

// Reads a directory's files; throws std::invalid_argument with the message.
Run ReadRun(const std::string& dir) {
    Run run;
    run.dir = fs::absolute(dir);
    std::ifstream jsonFile(run.dir / "results.json", std::ios::binary);
    std::ifstream csvFile(run.dir / "results.csv", std::ios::binary);
    if (!jsonFile || !csvFile) {
        throw std::invalid_argument(dir + " does not hold results.csv and results.json of a run");
    }
    std::istringstream csvText(ReadText(csvFile, (run.dir / "results.csv").string(), kMaxRunFileBytes));
    try {
        run.json = nlohmann::json::parse(ReadText(jsonFile, (run.dir / "results.json").string(), kMaxRunFileBytes));
    } catch (const std::exception& e) {
        throw std::invalid_argument((fs::path(dir) / "results.json").string() + ": " + e.what());
    }
    if (!run.json.contains("configuration") || !run.json["configuration"].is_object()) {
        throw std::invalid_argument((fs::path(dir) / "results.json").string() + " has no configuration");
    }
    std::string line;
    std::getline(csvText, line);
    const std::vector<std::string> header = SplitCsvLine(line);
    const auto column = [&header](const char* name) {
        return static_cast<size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    const size_t ebN0Column = column("ebn0_db"), berColumn = column("ber"), ferColumn = column("fer");
    if (ebN0Column == header.size() || berColumn == header.size() || ferColumn == header.size()) {
        throw std::invalid_argument((fs::path(dir) / "results.csv").string() +
                                    " lacks the columns ebn0_db, ber and fer");
    }
    // A run of one pass count has no iterations column.
    const size_t passesColumn = column("iterations");
    run.passList = passesColumn != header.size();
    while (std::getline(csvText, line)) {
        const std::vector<std::string> row = SplitCsvLine(line);
        const size_t last = std::max({ebN0Column, berColumn, ferColumn, run.passList ? passesColumn : 0});
        if (row.size() <= last) continue;
        run.rows.push_back({std::atof(row[ebN0Column].c_str()),
                            run.passList ? std::atoll(row[passesColumn].c_str()) : 0,
                            std::atof(row[berColumn].c_str()), std::atof(row[ferColumn].c_str())});
    }
    if (run.rows.empty()) throw std::invalid_argument(dir + ": no finished point");
    return run;
}

std::string CodeText(const nlohmann::json& c) {
    auto n = [&c](const char* key) { return c.value(key, 1); };
    std::string code = Format("(%d,%d)x(%d,%d)", n("nx"), n("kx"), n("ny"), n("ky"));
    if (n("nz") > 1) code += Format("x(%d,%d)", n("nz"), n("kz"));
    return code;
}

std::string ModulationText(const nlohmann::json& c) {
    if (!c.contains("constellation")) return "BPSK";
    return fs::path(c["constellation"].get<std::string>()).stem().string() +
           Format(" (%d points)", c.value("points", 0));
}

std::string ChannelText(const nlohmann::json& c) {
    const std::string channel = c.value("channel", "awgn");
    if (channel == "awgn") return "AWGN";
    std::string text = c.value("fading", "fast") + (channel == "rician" ? " Rician" : " Rayleigh");
    if (channel == "rician") text += Format(" (K = %g)", c.value("rician-k", 0.0));
    if (c.value("llr", "table") == "exact") text += ", exact LLRs";
    return text;
}

std::string ValueText(const std::string& key, const nlohmann::json& value) {
    if (value.is_null()) return key + " -";
    if (value.is_boolean()) return key + (value.get<bool>() ? " on" : " off");
    if (key == "iterations" && value.is_number_integer()) return Format("%d passes", value.get<int>());
    if (value.is_string()) return key + " " + value.get<std::string>();
    return key + " " + value.dump();
}

// "", or the fading of a run: its channel keys stand in its configuration.
std::string FadingText(const nlohmann::json& c) {
    if (!c.contains("channel")) return "";
    std::string channel = c["channel"].get<std::string>();
    if (!channel.empty()) channel[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(channel[0])));
    std::string text = c.value("fading", std::string("fast")) + " " + channel + " fading";
    if (c.contains("rician-k") && c["channel"] == "rician") text += " (K = " + c["rician-k"].dump() + ")";
    return text;
}

// Limit values and names of the runs, each once; block fading has none.
std::vector<PlotLimit> Limits(const std::vector<Run>& runs) {
    std::vector<PlotLimit> limits;
    for (const Run& run : runs) {
        const nlohmann::json code = run.json.value("code", nlohmann::json::object());
        const char* key = code.contains("ergodic_limit_ebn0_db") ? "ergodic_limit_ebn0_db"
                          : code.contains("bicm_limit_ebn0_db")  ? "bicm_limit_ebn0_db"
                                                                 : "biawgn_limit_ebn0_db";
        if (!code.contains(key) || !code[key].is_number()) continue;
        const double value = code[key].get<double>();
        const std::string kind = key;
        const std::string name = kind == "ergodic_limit_ebn0_db" ? "ergodic limit, " + FadingText(run.json["configuration"])
                                 : kind == "bicm_limit_ebn0_db"  ? std::string("BICM limit")
                                                                 : std::string("BI-AWGN limit");
        const std::string label = Format("%s, R = %.3f: %.2f dB", name.c_str(), code.value("rate", 0.0), value);
        const bool seen = std::any_of(limits.begin(), limits.end(),
                                      [&](const PlotLimit& l) { return std::fabs(l.ebN0Db - value) < 0.005; });
        if (!seen) limits.push_back({value, label});
    }
    return limits;
}

PlotPage Page(const std::vector<Run>& runs, const fs::path& output, const PlotArguments& arguments) {
    PlotPage page;
    page.outputs = {output.string()};
    page.ferOnly = arguments.ferOnly;
    page.ebN0Range = arguments.ebN0Range;
    page.errorRateRange = arguments.errorRateRange;
    const std::string curves = arguments.ferOnly ? "FER" : "BER (solid) and FER (dashed)";
    page.title = !arguments.title.empty() ? arguments.title
                                          : curves + " of " + std::to_string(runs.size()) + " tpcsim runs";
    page.limits = Limits(runs);
    std::set<std::string> modulations;
    for (const Run& run : runs) {
        const std::string fading = FadingText(run.json["configuration"]);
        const std::string modulation =
            ModulationText(run.json["configuration"]) + (fading.empty() ? "" : ", " + fading);
        if (!modulations.insert(modulation).second) continue;
        if (modulation == "BPSK") {
            page.uncoded.push_back({"", "uncoded BPSK"});
        } else if (fs::exists(run.dir / "uncoded.csv")) {
            page.uncoded.push_back({(run.dir / "uncoded.csv").string(), "uncoded " + modulation});
        }
        if (fs::exists(run.dir / "outage.csv")) {
            const double rate = run.json.value("code", nlohmann::json::object()).value("rate", 0.0);
            page.outage.push_back({(run.dir / "outage.csv").string(),
                                   Format("outage probability, %s, R = %.3f", modulation.c_str(), rate)});
        }
    }
    for (const Run& run : runs) {
        for (const PlotCurves& curves : RunCurves((run.dir / "results.csv").string(), run.legend, run.rows)) {
            page.runs.push_back(curves);
        }
    }
    return page;
}

// The runs of several pass counts against the passes, a curve per point.
PlotPage PassesPage(const std::vector<Run>& runs, const fs::path& output, const PlotArguments& arguments) {
    PlotPage page;
    page.outputs = {output.string()};
    page.againstPasses = true;
    page.ferOnly = arguments.ferOnly;
    page.errorRateRange = arguments.errorRateRange;
    page.title = (arguments.ferOnly ? "FER" : "BER (solid) and FER (dashed)") + std::string(" against the passes");
    if (!arguments.title.empty()) page.title = arguments.title + " (" + page.title + ")";
    const bool several = std::count_if(runs.begin(), runs.end(), [](const Run& run) { return run.passList; }) > 1;
    for (const Run& run : runs) {
        if (!run.passList) continue;
        const std::string legend = several ? run.legend : "";
        for (const PlotCurves& curves : PassCurves((run.dir / "results.csv").string(), legend, run.rows)) {
            page.runs.push_back(curves);
        }
    }
    return page;
}

// Writes `page` through its script FILE.gp beside it; 0, or the exit code
// after saying why.
int DrawPage(const PlotPage& page, const fs::path& file) {
    const fs::path script = file.string() + ".gp", log = file.string() + ".log";
    {
        std::ofstream out(script);
        out << GnuplotScript(page);
        if (!out) {
            std::fprintf(stderr, "tpcsim plot: cannot write %s\n", script.c_str());
            return 1;
        }
    }
    const std::string note = RunGnuplot(file.parent_path().string(), script.string(), log.string());
    if (!note.empty()) {
        std::fprintf(stderr, "tpcsim plot: %s\n", note.c_str());
        return 1;
    }
    std::error_code ignored;
    fs::remove(script, ignored);
    return 0;
}

}  // namespace

PlotArguments ParsePlotArguments(const std::vector<std::string>& args) {
    PlotArguments parsed;
    for (size_t n = 0; n < args.size(); ++n) {
        const std::string& arg = args[n];
        const auto value = [&]() -> const std::string& {
            if (n + 1 == args.size()) throw std::invalid_argument(arg + " needs a value");
            return args[++n];
        };
        if (arg == "-h" || arg == "--help") {
            parsed.help = true;
        } else if (arg == "-o" || arg == "--output") {
            parsed.output = value();
        } else if (arg == "--title") {
            parsed.title = value();
        } else if (arg == "--ebn0-range") {
            parsed.ebN0Range = ParseRange(arg, value(), false);
        } else if (arg == "--ber-range") {
            parsed.errorRateRange = ParseRange(arg, value(), true);
        } else if (arg == "--fer") {
            parsed.ferOnly = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw std::invalid_argument("unknown option " + arg);
        } else {
            const size_t equals = arg.rfind('=');
            if (equals == 0) throw std::invalid_argument("a label without a directory: " + arg);
            std::error_code ignored;
            if (equals != std::string::npos && fs::is_directory(arg.substr(0, equals), ignored)) {
                if (equals + 1 == arg.size()) throw std::invalid_argument("an empty label: " + arg);
                parsed.dirs.push_back(arg.substr(0, equals));
                parsed.labels.push_back(arg.substr(equals + 1));
            } else {
                parsed.dirs.push_back(arg);
                parsed.labels.emplace_back();
            }
        }
    }
    return parsed;
}

std::vector<std::string> LegendTexts(const std::vector<nlohmann::json>& configurations) {
    // Settings that do not change the link a curve describes.
    static const std::set<std::string> ignored = {"ebn0", "esn0", "errors", "max-blocks", "min-ber",
                                                  "batch", "engine"};
    static const std::set<std::string> codeKeys = {"nx", "ny", "nz", "kx", "ky", "kz"};
    static const std::set<std::string> modulationKeys = {"constellation", "points"};
    // Written only for fading channels.
    static const std::set<std::string> channelKeys = {"channel", "rician-k", "fading", "llr"};
    std::vector<std::string> keys;  // in the order of the first configuration that has them
    for (const nlohmann::json& c : configurations) {
        for (auto it = c.begin(); it != c.end(); ++it) {
            if (std::find(keys.begin(), keys.end(), it.key()) == keys.end()) keys.push_back(it.key());
        }
    }
    auto differs = [&](const std::string& key) {
        for (const nlohmann::json& c : configurations) {
            const nlohmann::json value = c.contains(key) ? c[key] : nlohmann::json();
            const nlohmann::json first = configurations[0].contains(key) ? configurations[0][key] : nlohmann::json();
            if (value != first) return true;
        }
        return false;
    };
    bool codeDiffers = false, modulationDiffers = false, channelDiffers = false;
    std::vector<std::string> otherKeys;
    // Runs of several pass counts name the count on each curve.
    const bool passLists = std::any_of(configurations.begin(), configurations.end(), [](const nlohmann::json& c) {
        return c.contains("iterations") && c["iterations"].is_array();
    });
    for (const std::string& key : keys) {
        if (ignored.count(key) || !differs(key) || (passLists && key == "iterations")) continue;
        // Keys written only for constellation runs, when the modulation differs anyway.
        const bool everywhere = std::all_of(configurations.begin(), configurations.end(),
                                            [&](const nlohmann::json& c) { return c.contains(key); });
        if (!everywhere && !modulationKeys.count(key) && !channelKeys.count(key) && differs("constellation")) continue;
        if (codeKeys.count(key)) codeDiffers = true;
        else if (modulationKeys.count(key)) modulationDiffers = true;
        else if (channelKeys.count(key)) channelDiffers = true;
        else otherKeys.push_back(key);
    }
    const bool none = !codeDiffers && !modulationDiffers && !channelDiffers && otherKeys.empty();
    std::vector<std::string> texts;
    for (const nlohmann::json& c : configurations) {
        std::vector<std::string> parts;
        if (codeDiffers || none) parts.push_back(CodeText(c));
        if (modulationDiffers || none) parts.push_back(ModulationText(c));
        if (channelDiffers) parts.push_back(ChannelText(c));
        for (const std::string& key : otherKeys) {
            parts.push_back(ValueText(key, c.contains(key) ? c[key] : nlohmann::json()));
        }
        std::string text;
        for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
        texts.push_back(text);
    }
    return texts;
}

int RunPlotCommand(const std::vector<std::string>& args) {
    PlotArguments parsed;
    try {
        parsed = ParsePlotArguments(args);
    } catch (const std::invalid_argument& e) {
        std::fprintf(stderr, "tpcsim plot: %s\n%s", e.what(), kUsage);
        return 2;
    }
    if (parsed.help) return std::fputs(kUsage, stdout) < 0;
    const std::vector<std::string>& dirs = parsed.dirs;
    const std::string& output = parsed.output;
    const std::string extension = fs::path(output).extension().string();
    if (dirs.empty() || (extension != ".png" && extension != ".svg" && extension != ".pdf")) {
        std::fprintf(stderr, "tpcsim plot: give the result directories and -o FILE.png, FILE.svg or FILE.pdf\n%s",
                     kUsage);
        return 2;
    }
    std::vector<Run> runs;
    std::vector<nlohmann::json> configurations;
    try {
        for (const std::string& dir : dirs) {
            runs.push_back(ReadRun(dir));
            configurations.push_back(runs.back().json["configuration"]);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim plot: %s\n", e.what());
        return 2;
    }
    const std::vector<std::string> legends = LegendTexts(configurations);
    for (size_t n = 0; n < runs.size(); ++n) {
        runs[n].legend = legends[n];
        if (!parsed.labels[n].empty()) {
            runs[n].legend = parsed.labels[n];
            continue;
        }
        // Runs alike in all that describes the link are told apart by their directory.
        if (std::count(legends.begin(), legends.end(), legends[n]) > 1) {
            runs[n].legend += " (" + dirs[n] + ")";
        }
    }
    // Checked before gnuplot runs, which would otherwise fail with its own words.
    if (extension == ".pdf" && GnuplotInstalled() && !GnuplotDrawsPdf()) {
        std::fprintf(stderr, "tpcsim plot: this gnuplot has no PDF terminal (pdfcairo): write .png or .svg\n");
        return 1;
    }
    const fs::path file = fs::absolute(output);
    if (const int failed = DrawPage(Page(runs, file, parsed), file)) return failed;
    std::fprintf(stderr, "tpcsim plot: wrote %s\n", output.c_str());
    if (std::none_of(runs.begin(), runs.end(), [](const Run& run) { return run.passList; })) return 0;
    // FILE-passes.EXT beside it.
    const fs::path passes = file.parent_path() / (file.stem().string() + "-passes" + file.extension().string());
    if (const int failed = DrawPage(PassesPage(runs, passes, parsed), passes)) return failed;
    std::fprintf(stderr, "tpcsim plot: wrote %s\n", (fs::path(output).parent_path() / passes.filename()).c_str());
    return 0;
}

}  // namespace tpcsim
