// tpcsim's sweep for programs (the Python package): the block engine over the
// options' points, with their stop rules, time limits and --min-ber, on the
// options' threads; no table, no files, no signals.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "sim/options.h"
#include "sim/results.h"

namespace tpcsim {

// Options from name and value pairs as they would stand on tpcsim's command
// line ("code", "64,57x64,57"; a flag given with "true" or "false"), every
// check included. Throws std::invalid_argument with tpcsim's message.
SimOptions OptionsFromPairs(const std::vector<std::pair<std::string, std::string>>& pairs);

// The finished points in sweep order. `stop` (may be null) ends the sweep at
// the end of the running work unit, dropping that point. Throws
// std::runtime_error when the link cannot be built (the nodes' message).
std::vector<PointRecord> Simulate(const SimOptions& options, const std::atomic<bool>* stop = nullptr);

}  // namespace tpcsim
