#include "sim/plot_script.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "sim/references.h"
#include "sim/result_store.h"
#include "sim/shell_words.h"
#include "sim/text_format.h"

namespace tpcsim {

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
    const tpc::link::LinkGeometry& g = run.geometry;
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
