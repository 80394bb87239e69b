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

namespace {

namespace fs = std::filesystem;

const char* const kColours[] = {"#1f5fbf", "#c03020", "#208a40", "#8a3fbf", "#d08000", "#108a8a",
                                "#606060", "#b0308a"};

// A gnuplot single-quoted string.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
}

std::string Terminal(const std::string& output) {
    const fs::path extension = fs::path(output).extension();
    // The PDF page has the pictures' proportions, its text the size of a report's.
    return std::string(extension == ".png"   ? "set terminal pngcairo size 960,640 font 'sans,11'\n"
                       : extension == ".pdf" ? "set terminal pdfcairo size 7.5in,5in font 'sans,10'\n"
                                             : "set terminal svg size 960,640 dynamic font 'sans,11'\n") +
           "set output " + Quoted(output) + "\n";
}

// The curves of the page, in drawing order.
std::vector<std::string> Curves(const PlotPage& page) {
    std::vector<std::string> curves;
    for (size_t n = 0; n < (page.ferOnly ? 0 : page.uncoded.size()); ++n) {
        const PlotUncoded& u = page.uncoded[n];
        const std::string style = Format(" with lines dt %zu lw 1.5 lc rgb '#404040'", 3 + n);
        curves.push_back((u.csv.empty() ? std::string("0.5 * erfc(sqrt(10**(x / 10.0)))")
                                        : Quoted(u.csv) + " using 'ebn0_db':(nz(column('ber')))") +
                         " title " + Quoted(u.title) + style);
    }
    for (const PlotUncoded& o : page.outage) {
        curves.push_back(Quoted(o.csv) + " using 'ebn0_db':(nz(column('outage_probability'))) title " +
                         Quoted(o.title) + " with lines dt 2 lw 1.5 lc rgb '#e08070'");
    }
    const bool alone = page.runs.size() == 1;
    for (size_t n = 0; n < page.runs.size(); ++n) {
        const PlotCurves& run = page.runs[n];
        const std::string csv = Quoted(run.csv) + " using 'ebn0_db':";
        if (alone) {
            curves.push_back(csv + "(nz(column('ber'))):(nz(column('ber_low95'))):(nz(column('ber_high95'))) "
                                   "with yerrorlines title 'BER (95% interval)' lw 2 pt 7 lc rgb '#1f5fbf'");
            curves.push_back(csv + "(nz(column('fer'))) with linespoints title 'FER' lw 2 pt 5 lc rgb '#c03020'");
            continue;
        }
        const char* colour = kColours[n % (sizeof kColours / sizeof *kColours)];
        if (page.ferOnly) {
            curves.push_back(csv + "(nz(column('fer'))) with linespoints title " + Quoted(run.legend) +
                             Format(" lw 2 pt 5 lc rgb '%s'", colour));
            continue;
        }
        curves.push_back(csv + "(nz(column('ber'))) with linespoints title " + Quoted(run.legend) +
                         Format(" lw 2 pt 7 lc rgb '%s'", colour));
        curves.push_back(csv + Format("(nz(column('fer'))) with linespoints notitle dt 2 lw 1.5 pt 5 lc rgb '%s'",
                                      colour));
    }
    return curves;
}

}  // namespace

std::string GnuplotScript(const PlotPage& page) {
    double xmin = INFINITY, xmax = -INFINITY, ymin = 1e-7;
    for (const PlotCurves& run : page.runs) {
        xmin = std::min(xmin, run.minEbN0Db), xmax = std::max(xmax, run.maxEbN0Db);
        ymin = std::min(ymin, (page.ferOnly ? run.minFer : run.minBer) / 3);
    }
    for (const PlotLimit& l : page.limits) xmin = std::min(xmin, l.ebN0Db), xmax = std::max(xmax, l.ebN0Db);
    if (!(xmin <= xmax)) xmin = xmax = 0;
    std::string s = Terminal(page.outputs.front());
    s += "set datafile separator ','\n";
    s += "set logscale y\nset format y '10^{%L}'\n";
    const PlotRange& x = page.ebN0Range;
    const PlotRange& y = page.errorRateRange;
    const double xlow = x.set ? x.low : std::floor(xmin - 0.5), xhigh = x.set ? x.high : std::ceil(xmax + 0.5);
    s += Format("set xrange [%.17g:%.17g]\n", xlow, xhigh);
    s += y.set ? Format("set yrange [%.17g:%.17g]\n", y.low, y.high)
               : Format("set yrange [%g:1]\n", std::pow(10.0, std::floor(std::log10(ymin))));
    s += "set grid xtics ytics mytics\nset xlabel 'E_b/N_0 (dB)'\n";
    s += page.ferOnly ? "set ylabel 'frame error rate'\n" : "set ylabel 'error rate'\n";
    s += "set title " + Quoted(page.title) + " noenhanced\n";
    s += page.runs.size() == 1 ? "set key top right box opaque noenhanced\n" : "set key below box noenhanced\n";
    s += "set samples 400\nnz(v) = v > 0 ? v : 1/0\n";
    for (size_t n = 0; n < page.limits.size(); ++n) {
        s += Format("set arrow %zu from %.4f, graph 0 to %.4f, graph 1 nohead dt 2 lw 1.5 lc rgb '#808080'\n",
                    n + 1, page.limits[n].ebN0Db, page.limits[n].ebN0Db);
        // Clear of the line: at less than a character and a half its dashes run along the text's
        // baseline and read as underscores between the words. Left of it, where the curves are not,
        // unless the line is at the left edge of a chosen range.
        const bool roomLeft = page.limits[n].ebN0Db - xlow > 0.04 * (xhigh - xlow);
        s += Format("set label %zu %s at %.4f, graph 0.06 left offset %.1f, 0 rotate by 90 noenhanced "
                    "textcolor rgb '#606060'\n",
                    n + 1, Quoted(page.limits[n].label).c_str(), page.limits[n].ebN0Db, roomLeft ? -1.5 : 2.0);
    }
    const std::vector<std::string> curves = Curves(page);
    s += "plot ";
    for (size_t n = 0; n < curves.size(); ++n) s += (n ? ", \\\n     " : "") + curves[n];
    s += "\n";
    for (size_t n = 1; n < page.outputs.size(); ++n) s += Terminal(page.outputs[n]) + "replot\n";
    return s;
}

PlotPage RunPlotPage(const RunRecord& run) {
    const SimOptions& o = run.options;
    const double rate = run.geometry.codeRate();
    std::string code = Format("(%d,%d)x(%d,%d)", o.nx, o.kx, o.ny, o.ky);
    if (o.nz > 1) code += Format("x(%d,%d)", o.nz, o.kz);
    const bool bpsk = o.constellation.empty();
    const std::string modulation = bpsk ? std::string("BPSK") : Format("%d points", o.points);
    const std::string fading = FadingText(o);
    const std::string channel = fading.empty() ? "" : ", " + fading;
    PlotPage page;
    page.outputs = {"ber.png", "ber.svg"};
    page.title = Format("TPC %s, rate %.4f, %s%s, %d axis passes, seed %llu", code.c_str(), rate, modulation.c_str(),
                        channel.c_str(), o.iterations.front(), static_cast<unsigned long long>(o.seed));
    if (DrawsLimitLine(o)) {
        page.limits.push_back(
            {run.capacityLimitDb, Format("%s, R = %.3f: %.2f dB", LimitLabel(o).c_str(), rate, run.capacityLimitDb)});
    }
    // Over fading even BPSK's curve is computed: the closed form is AWGN's.
    if (bpsk && fading.empty()) {
        page.uncoded.push_back({"", "uncoded BPSK"});
    } else {
        page.uncoded.push_back({"uncoded.csv", bpsk ? "uncoded BPSK" + channel
                                                    : "uncoded, " + modulation + ", hard decisions" + channel});
    }
    if (!run.outage.empty()) {
        page.outage.push_back({"outage.csv", Format("outage probability at R = %.3f (FER reference)", rate)});
    }
    PlotCurves curves{"results.csv", "", run.capacityLimitDb, run.capacityLimitDb, 1, 1};
    for (const PointRecord& p : run.points) {
        curves.minEbN0Db = std::min(curves.minEbN0Db, p.ebN0Db);
        curves.maxEbN0Db = std::max(curves.maxEbN0Db, p.ebN0Db);
        if (p.ber() > 0) curves.minBer = std::min(curves.minBer, p.ber());
        if (p.fer() > 0) curves.minFer = std::min(curves.minFer, p.fer());
    }
    page.runs.push_back(curves);
    return page;
}

bool GnuplotInstalled() { return std::system("command -v gnuplot >/dev/null 2>&1") == 0; }

bool GnuplotDrawsPdf() { return std::system("gnuplot -e 'set terminal pdfcairo' >/dev/null 2>&1") == 0; }

std::string RunGnuplot(const std::string& dir, const std::string& script, const std::string& log) {
    if (!GnuplotInstalled()) {
        return "gnuplot is not installed (package gnuplot-nox): no plot; " + script + " is ready for it";
    }
    const std::string command = "cd " + ShellWord(dir) + " && gnuplot " + ShellWord(script) + " 2>" + ShellWord(log);
    if (std::system(command.c_str()) != 0) {
        return "gnuplot failed (see " + (fs::path(dir) / log).string() + "): no plot";
    }
    std::error_code ignored;
    fs::remove(fs::path(dir) / log, ignored);
    return "";
}

std::string WritePlot(const std::string& dir, const RunRecord& run) {
    ReplaceFile(fs::path(dir) / "plot.gp",
                "# Made by tpcsim; run `gnuplot plot.gp` in this directory to redraw.\n" +
                    GnuplotScript(RunPlotPage(run)));
    if (!run.uncoded.empty()) ReplaceFile(fs::path(dir) / "uncoded.csv", FormatUncodedCsv(run.uncoded));
    if (!run.outage.empty()) ReplaceFile(fs::path(dir) / "outage.csv", FormatOutageCsv(run.outage));
    if (run.points.empty()) return "no finished point: no plot";
    return RunGnuplot(dir, "plot.gp", "gnuplot.log");
}

}  // namespace tpcsim
