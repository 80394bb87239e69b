#include "sim/plot_command.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "sim/shell_words.h"
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
    int berColumn = 0, ferColumn = 0, ebN0Column = 0;  // 1-based, as gnuplot counts
    double minEbN0 = INFINITY, maxEbN0 = -INFINITY, minBer = 1;
    std::string legend;
};

// A gnuplot single-quoted string.
std::string GnuplotString(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

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
    for (size_t c = 0; c < header.size(); ++c) {
        if (header[c] == "ebn0_db") run.ebN0Column = int(c) + 1;
        if (header[c] == "ber") run.berColumn = int(c) + 1;
        if (header[c] == "fer") run.ferColumn = int(c) + 1;
    }
    if (run.ebN0Column == 0 || run.berColumn == 0 || run.ferColumn == 0) {
        throw std::invalid_argument((fs::path(dir) / "results.csv").string() +
                                    " lacks the columns ebn0_db, ber and fer");
    }
    while (std::getline(csvText, line)) {
        const std::vector<std::string> row = SplitCsvLine(line);
        if (row.size() < header.size() - 1) continue;
        const double ebN0 = std::atof(row[size_t(run.ebN0Column - 1)].c_str());
        const double ber = std::atof(row[size_t(run.berColumn - 1)].c_str());
        run.minEbN0 = std::min(run.minEbN0, ebN0);
        run.maxEbN0 = std::max(run.maxEbN0, ebN0);
        if (ber > 0) run.minBer = std::min(run.minBer, ber);
    }
    if (!(run.minEbN0 <= run.maxEbN0)) throw std::invalid_argument(dir + ": no finished point");
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

std::string ValueText(const std::string& key, const nlohmann::json& value) {
    if (value.is_null()) return key + " -";
    if (value.is_boolean()) return key + (value.get<bool>() ? " on" : " off");
    if (key == "iterations") return Format("%d passes", value.get<int>());
    if (value.is_string()) return key + " " + value.get<std::string>();
    return key + " " + value.dump();
}

// Limit values and names of the runs, each once.
struct Limit {
    double ebN0Db;
    std::string label;
};

std::vector<Limit> Limits(const std::vector<Run>& runs) {
    std::vector<Limit> limits;
    for (const Run& run : runs) {
        const nlohmann::json code = run.json.value("code", nlohmann::json::object());
        const bool bicm = code.contains("bicm_limit_ebn0_db");
        const char* key = bicm ? "bicm_limit_ebn0_db" : "biawgn_limit_ebn0_db";
        if (!code.contains(key) || !code[key].is_number()) continue;
        const double value = code[key].get<double>();
        const std::string label =
            Format("%s, R = %.3f: %.2f dB", bicm ? "BICM limit" : "BI-AWGN limit", code.value("rate", 0.0), value);
        const bool seen = std::any_of(limits.begin(), limits.end(),
                                      [&](const Limit& l) { return std::fabs(l.ebN0Db - value) < 0.005; });
        if (!seen) limits.push_back({value, label});
    }
    return limits;
}

const char* const kColours[] = {"#1f5fbf", "#c03020", "#208a40", "#8a3fbf", "#d08000", "#108a8a",
                                "#606060", "#b0308a"};

std::string Script(const std::vector<Run>& runs, const fs::path& output) {
    const std::vector<Limit> limits = Limits(runs);
    double xmin = INFINITY, xmax = -INFINITY, ymin = 1e-7;
    for (const Run& run : runs) {
        xmin = std::min(xmin, run.minEbN0), xmax = std::max(xmax, run.maxEbN0);
        ymin = std::min(ymin, run.minBer / 3);
    }
    for (const Limit& l : limits) xmin = std::min(xmin, l.ebN0Db), xmax = std::max(xmax, l.ebN0Db);
    const bool png = output.extension() == ".png";
    std::string s = png ? "set terminal pngcairo size 960,640 font 'sans,11'\n"
                        : "set terminal svg size 960,640 dynamic font 'sans,11'\n";
    s += "set output " + GnuplotString(output.string()) + "\n";
    s += "set datafile separator ','\n";
    s += "set logscale y\nset format y '10^{%L}'\n";
    s += Format("set xrange [%g:%g]\n", std::floor(xmin - 0.5), std::ceil(xmax + 0.5));
    s += Format("set yrange [%g:1]\n", std::pow(10.0, std::floor(std::log10(ymin))));
    s += "set grid xtics ytics mytics\nset xlabel 'E_b/N_0 (dB)'\nset ylabel 'error rate'\n";
    s += "set title 'BER (solid) and FER (dashed) of " + std::to_string(runs.size()) + " tpcsim runs'\n";
    s += "set key below box noenhanced\nset samples 400\nnz(v) = v > 0 ? v : 1/0\n";
    for (size_t n = 0; n < limits.size(); ++n) {
        s += Format("set arrow %zu from %.4f, graph 0 to %.4f, graph 1 nohead dt 2 lw 1.5 lc rgb '#808080'\n",
                    n + 1, limits[n].ebN0Db, limits[n].ebN0Db);
        s += Format("set label %zu %s at %.4f, graph 0.06 left offset -0.8, 0 rotate by 90 noenhanced "
                    "textcolor rgb '#606060'\n",
                    n + 1, GnuplotString(limits[n].label).c_str(), limits[n].ebN0Db);
    }
    std::vector<std::string> curves;
    std::set<std::string> uncodedDrawn;
    for (const Run& run : runs) {
        const nlohmann::json& c = run.json["configuration"];
        const std::string modulation = ModulationText(c);
        if (!uncodedDrawn.insert(modulation).second) continue;
        const std::string style = Format(" with lines dt %zu lw 1.5 lc rgb '#404040'", 2 + uncodedDrawn.size());
        if (modulation == "BPSK") {
            curves.push_back("0.5 * erfc(sqrt(10**(x / 10.0))) title 'uncoded BPSK'" + style);
        } else if (fs::exists(run.dir / "uncoded.csv")) {
            curves.push_back(GnuplotString((run.dir / "uncoded.csv").string()) +
                             " using 1:(nz($2)) skip 1 title " + GnuplotString("uncoded " + modulation) + style);
        }
    }
    for (size_t n = 0; n < runs.size(); ++n) {
        const Run& run = runs[n];
        const std::string csv = GnuplotString((run.dir / "results.csv").string());
        const char* colour = kColours[n % (sizeof kColours / sizeof *kColours)];
        curves.push_back(csv + Format(" using %d:(nz($%d)) skip 1 with linespoints title ", run.ebN0Column,
                                      run.berColumn) +
                         GnuplotString(run.legend) + Format(" lw 2 pt 7 lc rgb '%s'", colour));
        curves.push_back(csv + Format(" using %d:(nz($%d)) skip 1 with linespoints notitle dt 2 lw 1.5 pt 5 "
                                      "lc rgb '%s'",
                                      run.ebN0Column, run.ferColumn, colour));
    }
    s += "plot ";
    for (size_t n = 0; n < curves.size(); ++n) s += (n ? ", \\\n     " : "") + curves[n];
    return s + "\n";
}

}  // namespace

std::vector<std::string> LegendTexts(const std::vector<nlohmann::json>& configurations) {
    // Settings that do not change the link a curve describes.
    static const std::set<std::string> ignored = {"ebn0", "esn0", "errors", "max-blocks", "min-ber",
                                                  "batch", "engine", "seed"};
    static const std::set<std::string> codeKeys = {"nx", "ny", "nz", "kx", "ky", "kz"};
    static const std::set<std::string> modulationKeys = {"constellation", "points"};
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
    bool codeDiffers = false, modulationDiffers = false;
    std::vector<std::string> otherKeys;
    for (const std::string& key : keys) {
        if (ignored.count(key) || !differs(key)) continue;
        // Keys written only for constellation runs, when the modulation differs anyway.
        const bool everywhere = std::all_of(configurations.begin(), configurations.end(),
                                            [&](const nlohmann::json& c) { return c.contains(key); });
        if (!everywhere && !modulationKeys.count(key) && differs("constellation")) continue;
        if (codeKeys.count(key)) codeDiffers = true;
        else if (modulationKeys.count(key)) modulationDiffers = true;
        else otherKeys.push_back(key);
    }
    const bool none = !codeDiffers && !modulationDiffers && otherKeys.empty();
    std::vector<std::string> texts;
    for (const nlohmann::json& c : configurations) {
        std::vector<std::string> parts;
        if (codeDiffers || none) parts.push_back(CodeText(c));
        if (modulationDiffers || none) parts.push_back(ModulationText(c));
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
    std::vector<std::string> dirs;
    std::string output;
    for (size_t n = 0; n < args.size(); ++n) {
        if (args[n] == "-h" || args[n] == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (args[n] == "-o" || args[n] == "--output") {
            if (n + 1 == args.size()) break;
            output = args[++n];
        } else {
            dirs.push_back(args[n]);
        }
    }
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
        runs[n].legend = legends[n];
        // Runs alike in all that describes the link are told apart by their directory.
        if (std::count(legends.begin(), legends.end(), legends[n]) > 1) runs[n].legend += " (" + dirs[n] + ")";
    }
    const fs::path file = fs::absolute(output);
    const fs::path script = file.string() + ".gp", log = file.string() + ".log";
    {
        std::ofstream out(script);
        out << Script(runs, file);
        if (!out) {
            std::fprintf(stderr, "tpcsim plot: cannot write %s\n", script.c_str());
            return 1;
        }
    }
    if (std::system("command -v gnuplot >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "tpcsim plot: gnuplot is not installed (package gnuplot-nox): no plot; "
                             "%s is ready for it\n", script.c_str());
        return 1;
    }
    const std::string command = "gnuplot " + ShellWord(script.string()) + " 2>" + ShellWord(log.string());
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "tpcsim plot: gnuplot failed (see %s and %s): no plot\n", script.c_str(), log.c_str());
        return 1;
    }
    std::error_code ignored;
    fs::remove(script, ignored);
    fs::remove(log, ignored);
    std::fprintf(stderr, "tpcsim plot: wrote %s\n", output.c_str());
    return 0;
}

}  // namespace tpcsim
