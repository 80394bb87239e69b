#include "sim/results.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "sim/option_table.h"
#include "sim/result_store.h"
#include "sim/shell_words.h"
#include "sim/text_format.h"

namespace tpcsim {

double PointRecord::ber() const {
    return counts.bits > 0 ? static_cast<double>(counts.bitErrors) / counts.bits : 0.0;
}

double PointRecord::fer() const {
    return counts.blocks > 0 ? static_cast<double>(counts.blockErrors) / counts.blocks : 0.0;
}

Interval PointRecord::berInterval() const {
    return BlockBerInterval(BlockErrorCounts{counts.blocks, counts.bits, counts.bitErrors,
                                             counts.bitErrorsSquared, counts.blockErrors});
}

Interval PointRecord::ferInterval() const {
    return WilsonInterval(counts.blockErrors, counts.blocks);
}

double PointRecord::infoMbitPerSecond() const {
    return seconds > 0 ? counts.bits / seconds / 1e6 : 0.0;
}

PointRecord RecordOf(double ebN0Db, const PointResult& result, const devhost::LinkGeometry& g,
                     bool passesCounted) {
    PointRecord record;
    record.ebN0Db = ebN0Db;
    record.esN0Db = devhost::EsN0DbFromEbN0Db(ebN0Db, g.codeRate(), g.bitsPerSymbol);
    record.counts = result.counts;
    record.seconds = result.seconds;
    record.passesCounted = passesCounted;
    record.timeLimited = result.timeLimited;
    return record;
}

double PointRecord::averagePasses() const {
    return counts.blocks > 0 ? static_cast<double>(counts.passes) / counts.blocks : 0.0;
}

namespace {


}  // namespace

std::string TableHeader() {
    return " Eb/N0   Es/N0      blocks  bit errors       BER      block err       FER    "
           "BER 95% interval     Mbit/s  passes\n";
}

std::string TableRow(const PointRecord& p) {
    const Interval ci = p.berInterval();
    const std::string passes = p.passesCounted ? Format("%6.2f", p.averagePasses()) : "     -";
    return Format("%6.2f  %6.2f  %10lld  %10lld  %9.3e  %10lld  %9.3e  [%8.2e, %8.2e]  %7.3f  %s\n",
                  p.ebN0Db, p.esN0Db, static_cast<long long>(p.counts.blocks),
                  static_cast<long long>(p.counts.bitErrors), p.ber(),
                  static_cast<long long>(p.counts.blockErrors), p.fer(), ci.low, ci.high,
                  p.infoMbitPerSecond(), passes.c_str());
}

std::string FormatCsv(const RunRecord& run) {
    std::string csv =
        "ebn0_db,esn0_db,blocks,bits,bit_errors,ber,ber_low95,ber_high95,block_errors,fer,"
        "seconds,info_mbit_per_s,fer_low95,fer_high95,avg_passes\n";
    for (const PointRecord& p : run.points) {
        const Interval ci = p.berInterval();
        const Interval fer = p.ferInterval();
        // avg_passes stays empty for the nodes: they do not report their passes.
        const std::string passes = p.passesCounted ? Format("%.4f", p.averagePasses()) : "";
        csv += Format("%.4f,%.4f,%lld,%lld,%lld,%.6e,%.6e,%.6e,%lld,%.6e,%.3f,%.4f,%.6e,%.6e,%s\n",
                      p.ebN0Db, p.esN0Db, static_cast<long long>(p.counts.blocks),
                      static_cast<long long>(p.counts.bits),
                      static_cast<long long>(p.counts.bitErrors), p.ber(), ci.low, ci.high,
                      static_cast<long long>(p.counts.blockErrors), p.fer(), p.seconds,
                      p.infoMbitPerSecond(), fer.low, fer.high, passes.c_str());
    }
    return csv;
}

std::string FormatJson(const RunRecord& run) {
    const SimOptions& o = run.options;
    nlohmann::ordered_json doc;
    doc["program"] = "tpcsim";
    doc["version"] = TPCSIM_VERSION;
    doc["command_line"] = o.commandLine;
    doc["library"] = run.libraryPath;
    doc["seed"] = o.seed;
    doc["ranks"] = run.ranks;
    doc["threads"] = run.threads;
    doc["configuration"] = ConfigurationJson(o);
    doc["code"] = {{"info_bits", run.geometry.infoBits},
                   {"code_bits", run.geometry.codeBits},
                   {"rate", run.geometry.codeRate()},
                   {"bits_per_symbol", run.geometry.bitsPerSymbol},
                   {o.constellation.empty() ? "biawgn_limit_ebn0_db" : "bicm_limit_ebn0_db",
                    run.capacityLimitDb}};
    doc["confidence_interval"] =
        "95%; FER: Wilson score on blocks; BER: mean over blocks with the per-block error variance, "
        "within FER/K ... FER; without errors an upper bound only";
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (const PointRecord& p : run.points) {
        const Interval ci = p.berInterval();
        const Interval fer = p.ferInterval();
        points.push_back({{"ebn0_db", p.ebN0Db},
                          {"esn0_db", p.esN0Db},
                          {"blocks", p.counts.blocks},
                          {"bits", p.counts.bits},
                          {"bit_errors", p.counts.bitErrors},
                          {"ber", p.ber()},
                          {"ber_low95", ci.low},
                          {"ber_high95", ci.high},
                          {"block_errors", p.counts.blockErrors},
                          {"fer", p.fer()},
                          {"fer_low95", fer.low},
                          {"fer_high95", fer.high},
                          {"bit_errors_squared", p.counts.bitErrorsSquared},
                          {"avg_passes", p.passesCounted ? nlohmann::ordered_json(p.averagePasses())
                                                         : nlohmann::ordered_json()},
                          {"passes", p.passesCounted ? nlohmann::ordered_json(p.counts.passes)
                                                     : nlohmann::ordered_json()},
                          {"time_limited", p.timeLimited},
                          {"seconds", p.seconds},
                          {"info_mbit_per_s", p.infoMbitPerSecond()}});
    }
    doc["points"] = points;
    doc["interrupted"] = run.interrupted;
    doc["seconds"] = run.seconds;
    return doc.dump(2) + "\n";
}

std::string GnuplotScript(const RunRecord& run) {
    double xmin = run.capacityLimitDb, xmax = run.capacityLimitDb;
    double ymin = 1e-7;
    for (const PointRecord& p : run.points) {
        xmin = std::min(xmin, p.ebN0Db);
        xmax = std::max(xmax, p.ebN0Db);
        if (p.ber() > 0) ymin = std::min(ymin, p.ber() / 3);
    }
    xmin = std::floor(xmin - 0.5);
    xmax = std::ceil(xmax + 0.5);
    const double decade = std::pow(10.0, std::floor(std::log10(ymin)));
    const devhost::LinkGeometry& g = run.geometry;
    std::string code = Format("(%d,%d)x(%d,%d)", run.options.nx, run.options.kx, run.options.ny,
                              run.options.ky);
    if (run.options.nz > 1) code += Format("x(%d,%d)", run.options.nz, run.options.kz);
    const std::string modulation =
        run.options.constellation.empty()
            ? std::string("BPSK")
            : Format("%d points", run.options.points);

    std::string s;
    s += "# Made by tpcsim; run `gnuplot plot.gp` in this directory to redraw.\n";
    s += "set datafile separator ','\n";
    s += "set logscale y\n";
    s += "set format y '10^{%L}'\n";
    s += Format("set xrange [%g:%g]\n", xmin, xmax);
    s += Format("set yrange [%g:1]\n", decade);
    s += "set grid xtics ytics mytics\n";
    s += "set xlabel 'E_b/N_0 (dB)'\n";
    s += "set ylabel 'error rate'\n";
    s += Format("set title 'TPC %s, rate %.4f, %s, %d axis passes, seed %llu'\n", code.c_str(),
                g.codeRate(), modulation.c_str(), run.options.iterations,
                static_cast<unsigned long long>(run.options.seed));
    s += "set key top right box opaque\n";
    s += "set samples 400\n";
    const bool bpsk = run.options.constellation.empty();
    if (bpsk) s += "uncoded(x) = 0.5 * erfc(sqrt(10**(x / 10.0)))\n";
    s += Format("limit = %.4f\n", run.capacityLimitDb);
    s += "set arrow 1 from limit, graph 0 to limit, graph 1 nohead dt 2 lw 1.5 lc rgb '#808080'\n";
    s += Format("set label 1 sprintf('%s, R = %.3f: %%.2f dB', limit) at limit, graph 0.06 "
                "left offset -0.8, 0 rotate by 90 textcolor rgb '#606060'\n",
                LimitLabel(run.options).c_str(), g.codeRate());
    s += "nz(v) = v > 0 ? v : 1/0\n";
    s += bpsk ? "plot uncoded(x) title 'uncoded BPSK' with lines dt 3 lw 1.5 lc rgb '#404040', \\\n"
              : Format("plot 'uncoded.csv' using 1:(nz($2)) skip 1 title 'uncoded, %s, hard decisions' with "
                       "lines dt 3 lw 1.5 lc rgb '#404040', \\\n",
                       modulation.c_str());
    s += "     'results.csv' using 1:(nz($6)):(nz($7)):(nz($8)) skip 1 with yerrorlines "
         "title 'BER (95% interval)' lw 2 pt 7 lc rgb '#1f5fbf', \\\n";
    s += "     'results.csv' using 1:(nz($10)) skip 1 with linespoints title 'FER' lw 2 pt 5 "
         "lc rgb '#c03020'\n";
    return "set terminal pngcairo size 960,640 font 'sans,11'\nset output 'ber.png'\n" + s +
           "set terminal svg size 960,640 dynamic font 'sans,11'\nset output 'ber.svg'\nreplot\n";
}

std::string WritePlot(const std::string& dir, const RunRecord& run) {
    namespace fs = std::filesystem;
    std::error_code error;
    ReplaceFile(fs::path(dir) / "plot.gp", GnuplotScript(run));
    if (!run.uncoded.empty()) ReplaceFile(fs::path(dir) / "uncoded.csv", FormatUncodedCsv(run.uncoded));
    if (run.points.empty()) return "no finished point: no plot";
    if (std::system("command -v gnuplot >/dev/null 2>&1") != 0) {
        return "gnuplot is not installed (package gnuplot-nox): no plot; plot.gp is ready for it";
    }
    const std::string command = "cd " + ShellWord(dir) + " && gnuplot plot.gp 2>gnuplot.log";
    if (std::system(command.c_str()) != 0) {
        return "gnuplot failed (see " + (fs::path(dir) / "gnuplot.log").string() + "): no plot";
    }
    fs::remove(fs::path(dir) / "gnuplot.log", error);
    return "";
}

}  // namespace tpcsim
