// The parser of tpcsim's options: the record (sim/sim_options.h) filled
// from the command line and an optional config file. Each option is
// declared once, in sim/option_table.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace tpcsim {

struct ParseOutcome {
    SimOptions options;
    // -1: go on and run; otherwise exit with this code after printing
    // `message` (0 for --help and --version, 2 for bad options).
    int exitCode = -1;
    std::string message;
};

// Parses `args` (args[0] is the program name). With no argument at all the
// embedded default run is chosen: the defaults above with output to
// "results". Never throws.
ParseOutcome ParseOptions(const std::vector<std::string>& args);

}  // namespace tpcsim
