// `tpcsim plot DIR[=LABEL]... -o FILE [options]`: the BER and FER of
// several result directories (each with results.csv and results.json) on
// one plot, png, svg or pdf by FILE's extension, drawn by gnuplot. The
// legend gives each run's label, or names what differs between the runs'
// configurations.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/plot_script.h"

namespace tpcsim {

struct PlotArguments {
    std::vector<std::string> dirs;
    std::vector<std::string> labels;  // one per directory, "" where none was given
    std::string output, title;
    PlotRange ebN0Range, errorRateRange;
    bool ferOnly = false;
    bool help = false;
};

// Throws std::invalid_argument with the message for an unknown option, a
// missing value, a bad range or a label without a directory. DIR=LABEL is
// split at the last '=' when what is before it is a directory; otherwise
// the whole argument names the directory.
PlotArguments ParsePlotArguments(const std::vector<std::string>& args);

// The arguments after "plot"; messages go to standard error. Returns the
// exit code: 0 plotted, 1 gnuplot missing or failed, 2 bad arguments or a
// directory that does not hold a run.
int RunPlotCommand(const std::vector<std::string>& args);

// One legend text per configuration (results.json "configuration"): the
// settings that differ between them and describe the link, and the seed
// (not the sweep and stop rules or engine), or the code and modulation when
// none do.
std::vector<std::string> LegendTexts(const std::vector<nlohmann::json>& configurations);

}  // namespace tpcsim
