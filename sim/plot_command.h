// `tpcsim plot DIR... -o FILE`: the BER and FER of several result
// directories (each with results.csv and results.json) on one plot, png or
// svg by FILE's extension, drawn by gnuplot. The legend names what differs
// between the runs' configurations.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tpcsim {

// The arguments after "plot"; messages go to standard error. Returns the
// exit code: 0 plotted, 1 gnuplot missing or failed, 2 bad arguments or a
// directory that does not hold a run.
int RunPlotCommand(const std::vector<std::string>& args);

// One legend text per configuration (results.json "configuration"): the
// settings that differ between them and describe the link (not the sweep
// and stop rules, seed or engine), or the code and modulation when none do.
std::vector<std::string> LegendTexts(const std::vector<nlohmann::json>& configurations);

}  // namespace tpcsim
