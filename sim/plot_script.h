// The plot of a run: the gnuplot script beside its results.csv, and the
// pictures gnuplot makes of it.
#pragma once

#include <string>

#include "sim/results.h"

namespace tpcsim {

// gnuplot commands that read results.csv in the current directory and write
// ber.png and ber.svg.
std::string GnuplotScript(const RunRecord& run);

// Writes plot.gp (and uncoded.csv for a constellation run), then ber.png
// and ber.svg with gnuplot, into `dir`, which holds the run's results.csv
// (sim/result_store.h). Returns a note for the user about the plot ("" when
// it was made). Throws std::runtime_error when a file cannot be written.
std::string WritePlot(const std::string& dir, const RunRecord& run);

}  // namespace tpcsim
