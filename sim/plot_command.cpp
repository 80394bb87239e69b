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

#include "sim/directory_arguments.h"
#include "sim/plot_script.h"
#include "sim/text_file.h"
#include "sim/text_format.h"

namespace tpcsim {

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "usage: tpcsim plot DIR... -o FILE\n"
    "  BER and FER of the result directories DIR (results.csv and results.json each) on one plot;\n"
    "  FILE ending in .png or .svg. Needs gnuplot.\n";

struct Run {
    fs::path dir;
    nlohmann::json json;
    PlotCurves curves;
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
    const size_t ebN0Column = column("ebn0_db"), berColumn = column("ber");
    if (ebN0Column == header.size() || berColumn == header.size() || column("fer") == header.size()) {
        throw std::invalid_argument((fs::path(dir) / "results.csv").string() +
                                    " lacks the columns ebn0_db, ber and fer");
    }
    PlotCurves& curves = run.curves;
    curves.csv = (run.dir / "results.csv").string();
    curves.minEbN0Db = INFINITY, curves.maxEbN0Db = -INFINITY;
    while (std::getline(csvText, line)) {
        const std::vector<std::string> row = SplitCsvLine(line);
        if (row.size() <= std::max(ebN0Column, berColumn)) continue;
        const double ebN0 = std::atof(row[ebN0Column].c_str());
        const double ber = std::atof(row[berColumn].c_str());
        curves.minEbN0Db = std::min(curves.minEbN0Db, ebN0);
        curves.maxEbN0Db = std::max(curves.maxEbN0Db, ebN0);
        if (ber > 0) curves.minBer = std::min(curves.minBer, ber);
    }
    if (!(curves.minEbN0Db <= curves.maxEbN0Db)) throw std::invalid_argument(dir + ": no finished point");
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
    if (key == "iterations") return Format("%d passes", value.get<int>());
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

PlotPage Page(const std::vector<Run>& runs, const fs::path& output) {
    PlotPage page;
    page.outputs = {output.string()};
    page.title = "BER (solid) and FER (dashed) of " + std::to_string(runs.size()) + " tpcsim runs";
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
    for (const Run& run : runs) page.runs.push_back(run.curves);
    return page;
}

}  // namespace

std::vector<std::string> LegendTexts(const std::vector<nlohmann::json>& configurations) {
    // Settings that do not change the link a curve describes.
    static const std::set<std::string> ignored = {"ebn0", "esn0", "errors", "max-blocks", "min-ber",
                                                  "batch", "engine", "seed"};
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
    for (const std::string& key : keys) {
        if (ignored.count(key) || !differs(key)) continue;
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
    const DirectoryArguments parsed = ParseDirectoryArguments(args);
    if (parsed.help) return std::fputs(kUsage, stdout) < 0;
    const std::vector<std::string>& dirs = parsed.dirs;
    const std::string& output = parsed.output;
    const std::string extension = fs::path(output).extension().string();
    if (dirs.empty() || (extension != ".png" && extension != ".svg")) {
        std::fprintf(stderr, "tpcsim plot: give the result directories and -o FILE.png or FILE.svg\n%s", kUsage);
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
        runs[n].curves.legend = legends[n];
        // Runs alike in all that describes the link are told apart by their directory.
        if (std::count(legends.begin(), legends.end(), legends[n]) > 1) {
            runs[n].curves.legend += " (" + dirs[n] + ")";
        }
    }
    const fs::path file = fs::absolute(output);
    const fs::path script = file.string() + ".gp", log = file.string() + ".log";
    {
        std::ofstream out(script);
        out << GnuplotScript(Page(runs, file));
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
    std::fprintf(stderr, "tpcsim plot: wrote %s\n", output.c_str());
    return 0;
}

}  // namespace tpcsim
