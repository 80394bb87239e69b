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

// The rows a curve picks, copied into a data block: x, then these columns.
// A row filter within the plot itself would leave gaps that break the line
// between rows of other curves.
const char* const kTableColumns[] = {"ber", "ber_low95", "ber_high95", "fer"};

std::string RowsBlock(size_t curve) { return Format("$rows%zu", curve + 1); }

// A curve's value of `column` above 0 (else undefined, which the log scale
// cannot draw): from results.csv, or from the data block of its rows.
std::string YValue(bool picked, const char* column) {
    if (!picked) return Format("(nz(column('%s')))", column);
    for (size_t i = 0; i < sizeof kTableColumns / sizeof *kTableColumns; ++i) {
        if (std::string(kTableColumns[i]) == column) return Format("(nz($%zu))", i + 2);
    }
    return "";
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
        const bool picked = !run.rows.empty();
        const std::string csv =
            picked ? Format("%s using 1:", RowsBlock(n).c_str()) : Quoted(run.csv) + " using 'ebn0_db':";
        const std::string ber = YValue(picked, "ber"), fer = YValue(picked, "fer");
        if (alone) {
            curves.push_back(csv + ber + ":" + YValue(picked, "ber_low95") + ":" + YValue(picked, "ber_high95") +
                             " with yerrorlines title 'BER (95% interval)' lw 2 pt 7 lc rgb '#1f5fbf'");
            curves.push_back(csv + fer + " with linespoints title 'FER' lw 2 pt 5 lc rgb '#c03020'");
            continue;
        }
        const char* colour = kColours[n % (sizeof kColours / sizeof *kColours)];
        if (page.ferOnly) {
            curves.push_back(csv + fer + " with linespoints title " + Quoted(run.legend) +
                             Format(" lw 2 pt 5 lc rgb '%s'", colour));
            continue;
        }
        curves.push_back(csv + ber + " with linespoints title " + Quoted(run.legend) +
                         Format(" lw 2 pt 7 lc rgb '%s'", colour));
        curves.push_back(csv + fer + Format(" with linespoints notitle dt 2 lw 1.5 pt 5 lc rgb '%s'", colour));
    }
    return curves;
}

std::string RowTables(const PlotPage& page) {
    const char* x = page.againstPasses ? "iterations" : "ebn0_db";
    std::string s;
    for (size_t n = 0; n < page.runs.size(); ++n) {
        const PlotCurves& run = page.runs[n];
        if (run.rows.empty()) continue;
        s += "set table " + RowsBlock(n) + " separator comma\n";
        s += "plot " + Quoted(run.csv) + " using '" + x + "'";
        for (const char* column : kTableColumns) s += std::string(":'") + column + "'";
        s += " with table if (" + run.rows + ")\nunset table\n";
    }
    return s;
}

}  // namespace

std::string GnuplotScript(const PlotPage& page) {
    double xmin = INFINITY, xmax = -INFINITY, ymin = 1e-7;
    for (const PlotCurves& run : page.runs) {
        xmin = std::min(xmin, run.minX), xmax = std::max(xmax, run.maxX);
        ymin = std::min(ymin, (page.ferOnly ? run.minFer : run.minBer) / 3);
    }
    for (const PlotLimit& l : page.limits) xmin = std::min(xmin, l.ebN0Db), xmax = std::max(xmax, l.ebN0Db);
    if (!(xmin <= xmax)) xmin = xmax = 0;
    std::string s = Terminal(page.outputs.front());
    s += "set datafile separator ','\n";
    s += RowTables(page);
    s += "set logscale y\nset format y '10^{%L}'\n";
    const PlotRange& x = page.ebN0Range;
    const PlotRange& y = page.errorRateRange;
    double xlow = x.set ? x.low : std::floor(xmin - 0.5), xhigh = x.set ? x.high : std::ceil(xmax + 0.5);
    // Pass counts are mostly doublings: a log axis spaces them evenly.
    const bool logPasses = page.againstPasses && xmin > 0;
    if (page.againstPasses) {
        xlow = logPasses ? xmin / 1.25 : xmin - 1;
        xhigh = logPasses ? xmax * 1.25 : xmax + 1;
    }
    if (logPasses) s += "set logscale x 2\n";
    s += Format("set xrange [%.17g:%.17g]\n", xlow, xhigh);
    s += y.set ? Format("set yrange [%.17g:%.17g]\n", y.low, y.high)
               : Format("set yrange [%g:1]\n", std::pow(10.0, std::floor(std::log10(ymin))));
    s += page.againstPasses ? "set grid xtics ytics mytics\nset xlabel 'maximum axis passes'\n"
                            : "set grid xtics ytics mytics\nset xlabel 'E_b/N_0 (dB)'\n";
    s += page.ferOnly ? "set ylabel 'frame error rate'\n" : "set ylabel 'error rate'\n";
    s += "set title " + Quoted(page.title) + " noenhanced\n";
    // A curve per point reads best from a column beside the plot; below it, one
    // row of keys runs into the axis label.
    s += page.againstPasses       ? "set key outside right top vertical box noenhanced\n"
         : page.runs.size() == 1 ? "set key top right box opaque noenhanced\n"
                                 : "set key below box noenhanced\n";
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

namespace {

PlotCurves CurvesOf(const std::string& csv, const std::string& legend, const std::string& rows,
                    const std::vector<PlotRow>& points, bool xIsPasses) {
    PlotCurves curves{csv, legend, INFINITY, -INFINITY, 1, 1, rows};
    for (const PlotRow& p : points) {
        const double x = xIsPasses ? static_cast<double>(p.iterations) : p.ebN0Db;
        curves.minX = std::min(curves.minX, x);
        curves.maxX = std::max(curves.maxX, x);
        if (p.ber > 0) curves.minBer = std::min(curves.minBer, p.ber);
        if (p.fer > 0) curves.minFer = std::min(curves.minFer, p.fer);
    }
    return curves;
}

std::string Joined(const std::string& legend, const std::string& part) {
    return legend.empty() ? part : legend + ", " + part;
}

// The pass counts of a run's rows, or its Eb/N0 points, each once, in order.
template <class Key>
std::vector<Key> Distinct(const std::vector<PlotRow>& rows, Key (*keyOf)(const PlotRow&)) {
    std::vector<Key> keys;
    for (const PlotRow& row : rows) keys.push_back(keyOf(row));
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

int64_t PassesOf(const PlotRow& row) { return row.iterations; }
// Eb/N0 as results.csv holds it, to a ten-thousandth of a dB.
double CsvEbN0Of(const PlotRow& row) { return std::round(row.ebN0Db * 1e4) / 1e4; }

}  // namespace

std::vector<PlotCurves> RunCurves(const std::string& csv, const std::string& legend,
                                  const std::vector<PlotRow>& rows) {
    const std::vector<int64_t> counts = Distinct(rows, PassesOf);
    if (counts.size() <= 1) return {CurvesOf(csv, legend, "", rows, false)};
    std::vector<PlotCurves> curves;
    for (int64_t count : counts) {
        std::vector<PlotRow> picked;
        for (const PlotRow& row : rows) {
            if (row.iterations == count) picked.push_back(row);
        }
        const std::string passes = Format(count == 1 ? "%lld pass" : "%lld passes", static_cast<long long>(count));
        curves.push_back(CurvesOf(csv, Joined(legend, passes),
                                  Format("column('iterations') == %lld", static_cast<long long>(count)), picked,
                                  false));
    }
    return curves;
}

std::vector<PlotCurves> PassCurves(const std::string& csv, const std::string& legend,
                                   const std::vector<PlotRow>& rows) {
    std::vector<PlotCurves> curves;
    for (double ebN0 : Distinct(rows, CsvEbN0Of)) {
        std::vector<PlotRow> picked;
        for (const PlotRow& row : rows) {
            if (CsvEbN0Of(row) == ebN0) picked.push_back(row);
        }
        curves.push_back(CurvesOf(csv, Joined(legend, Format("%.2f dB", ebN0)),
                                  Format("abs(column('ebn0_db') - %.4f) < 5e-5", ebN0), picked, true));
    }
    return curves;
}

namespace {

std::vector<PlotRow> RowsOf(const RunRecord& run) {
    std::vector<PlotRow> rows;
    for (const PointRecord& p : run.points) rows.push_back({p.ebN0Db, p.iterations, p.ber(), p.fer()});
    return rows;
}

// "64 axis passes", or "2, 8, 64 axis passes".
std::string PassesText(const std::vector<int32_t>& counts) {
    std::string text;
    for (int32_t count : counts) text += (text.empty() ? "" : ", ") + std::to_string(count);
    return text + " axis passes";
}

std::string CodeText(const SimOptions& o) {
    std::string code = Format("(%d,%d)x(%d,%d)", o.nx, o.kx, o.ny, o.ky);
    if (o.nz > 1) code += Format("x(%d,%d)", o.nz, o.kz);
    return code;
}

}  // namespace

PlotPage RunPassesPage(const RunRecord& run) {
    const SimOptions& o = run.options;
    PlotPage page;
    page.outputs = {"passes.png", "passes.svg"};
    page.againstPasses = true;
    page.title = Format("BER (solid) and FER (dashed) against the passes: TPC %s, rate %.4f, seed %llu",
                        CodeText(o).c_str(), run.geometry.codeRate(), static_cast<unsigned long long>(o.seed));
    page.runs = PassCurves("results.csv", "", RowsOf(run));
    return page;
}

PlotPage RunPlotPage(const RunRecord& run) {
    const SimOptions& o = run.options;
    const double rate = run.geometry.codeRate();
    const std::string code = CodeText(o);
    const bool bpsk = o.constellation.empty();
    const std::string modulation = bpsk ? std::string("BPSK") : Format("%d points", o.points);
    const std::string fading = FadingText(o);
    const std::string channel = fading.empty() ? "" : ", " + fading;
    PlotPage page;
    page.outputs = {"ber.png", "ber.svg"};
    page.title = Format("TPC %s, rate %.4f, %s%s, %s, seed %llu", code.c_str(), rate, modulation.c_str(),
                        channel.c_str(), PassesText(o.iterations).c_str(), static_cast<unsigned long long>(o.seed));
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
    page.runs = RunCurves("results.csv", "", RowsOf(run));
    // The limit line stays in view.
    for (PlotCurves& curves : page.runs) {
        curves.minX = std::min(curves.minX, run.capacityLimitDb);
        curves.maxX = std::max(curves.maxX, run.capacityLimitDb);
    }
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
    const bool passList = run.options.iterations.size() > 1;
    if (passList) {
        ReplaceFile(fs::path(dir) / "passes.gp",
                    "# Made by tpcsim; run `gnuplot passes.gp` in this directory to redraw.\n" +
                        GnuplotScript(RunPassesPage(run)));
    }
    if (run.points.empty()) return "no finished point: no plot";
    const std::string note = RunGnuplot(dir, "plot.gp", "gnuplot.log");
    if (!note.empty() || !passList) return note;
    return RunGnuplot(dir, "passes.gp", "gnuplot.log");
}

}  // namespace tpcsim
