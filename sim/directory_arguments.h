// The arguments of tpcsim's commands over result directories,
// "DIR... -o OUT" (merge, plot).
#pragma once

#include <string>
#include <vector>

namespace tpcsim {

struct DirectoryArguments {
    std::vector<std::string> dirs;
    std::string output;  // after -o or --output; "" when not given
    bool help = false;   // -h or --help
};

DirectoryArguments ParseDirectoryArguments(const std::vector<std::string>& args);

}  // namespace tpcsim
