// The one gnuplot writer of tpcsim: a run's own plot (plot.gp beside its
// results, drawn into ber.png and ber.svg) and `tpcsim plot` over several
// runs. The scripts read results.csv and uncoded.csv by column name.
#pragma once

#include <string>
#include <vector>

#include "sim/results.h"

namespace tpcsim {

struct PlotLimit {
    double ebN0Db;
    std::string label;
};

// A reference curve without coding: BPSK's closed form when `csv` is empty,
// else the uncoded.csv of a run.
struct PlotUncoded {
    std::string csv;
    std::string title;
};

// One run's results.csv as gnuplot opens it, and the extent of its points.
struct PlotCurves {
    std::string csv;
    std::string legend;  // "" on a run's own plot, whose curves are titled BER and FER
    double minX = 0, maxX = 0;  // Eb/N0 (dB), or passes on a page against passes
    double minBer = 1;  // the smallest BER above 0
    double minFer = 1;  // the smallest FER above 0
    // A gnuplot condition on a row of `csv` that picks the curve's rows;
    // "" for all of them.
    std::string rows;
};

// A row of results.csv, as much of it as the curves need.
struct PlotRow {
    double ebN0Db = 0;
    int64_t iterations = 0;
    double ber = 0, fer = 0;
};

// The curves of a run's rows: one, or one per pass count of a run of
// several (legend "N passes" after `legend`).
std::vector<PlotCurves> RunCurves(const std::string& csv, const std::string& legend,
                                  const std::vector<PlotRow>& rows);
// A run of several pass counts against the passes: a curve per Eb/N0 point
// (legend "X dB" after `legend`).
std::vector<PlotCurves> PassCurves(const std::string& csv, const std::string& legend,
                                   const std::vector<PlotRow>& rows);

// An axis range the user chose; unset, the axis covers the curves.
struct PlotRange {
    bool set = false;
    double low = 0, high = 0;
};

struct PlotPage {
    std::vector<std::string> outputs;  // files ending in .png, .svg or .pdf, drawn in turn
    std::string title;
    PlotRange ebN0Range, errorRateRange;
    // The FER of each run, solid, with the outage references and without
    // the uncoded BER; otherwise BER and FER.
    bool ferOnly = false;
    std::vector<PlotLimit> limits;
    std::vector<PlotUncoded> uncoded;
    std::vector<PlotUncoded> outage;  // block fading: outage.csv, dashed, a reference for the FER
    // One run: its BER with the 95% interval, and its FER. Several: each
    // run's BER and, dashed in the same colour, its FER.
    std::vector<PlotCurves> runs;
    // Against the maximum passes (the iterations column) instead of Eb/N0.
    bool againstPasses = false;
};

std::string GnuplotScript(const PlotPage& page);

bool GnuplotInstalled();
// Whether the installed gnuplot can draw PDF (its cairo terminal).
bool GnuplotDrawsPdf();

// The page of a run's own plot: results.csv and uncoded.csv in the current
// directory, drawn into ber.png and ber.svg.
PlotPage RunPlotPage(const RunRecord& run);

// Runs `gnuplot SCRIPT` in `dir`, its errors into `log` there (removed when
// it succeeds). "" when the plot was made, otherwise a note for the user.
std::string RunGnuplot(const std::string& dir, const std::string& script, const std::string& log);

// The page of a run of several pass counts against the passes: passes.png
// and passes.svg.
PlotPage RunPassesPage(const RunRecord& run);

// Writes plot.gp (and uncoded.csv for a run with an uncoded curve), then
// ber.png and ber.svg with gnuplot, into `dir`, which holds the run's
// results.csv (sim/result_store.h); for a run of several pass counts also
// passes.gp, passes.png and passes.svg. Returns a note for the user about
// the plot ("" when it was made). Throws std::runtime_error when a file
// cannot be written.
std::string WritePlot(const std::string& dir, const RunRecord& run);

}  // namespace tpcsim
