// tpcsim's sweep for programs (the Python package): options by name, the
// same sweep as the command line's, on the block engine.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "sim/sim_options.h"
#include "sim/sweep.h"

namespace tpcsim {

// Options from name and value pairs as they would stand on tpcsim's command
// line ("code", "64,57x64,57"; a flag given with "true" or "false"), every
// check included, `out` settled as tpcsim settles it. Throws
// std::invalid_argument with tpcsim's message.
SimOptions OptionsFromPairs(const std::vector<std::pair<std::string, std::string>>& pairs);

// Runs the sweep of `options` with `hooks`; the run with its finished
// points, kept ones included. Throws SweepFailure as Sweep does.
RunRecord Simulate(const SimOptions& options, const SweepHooks& hooks);

}  // namespace tpcsim
