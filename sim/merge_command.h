// `tpcsim merge DIR... -o OUT`: result directories of one configuration
// (the same link, stop rules and seed; the sweep points may differ) joined
// into one: every point once, by its value, in increasing Eb/N0, with the
// tables and the plot written into OUT.
#pragma once

#include <string>
#include <vector>

namespace tpcsim {

// The arguments after "merge"; messages go to standard error. Returns the
// exit code: 0 merged, 1 the output could not be written, 2 bad arguments,
// a directory without a run, or runs of different configurations.
int RunMergeCommand(const std::vector<std::string>& args);

}  // namespace tpcsim
