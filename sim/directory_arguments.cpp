#include "sim/directory_arguments.h"

namespace tpcsim {

DirectoryArguments ParseDirectoryArguments(const std::vector<std::string>& args) {
    DirectoryArguments parsed;
    for (size_t n = 0; n < args.size(); ++n) {
        if (args[n] == "-h" || args[n] == "--help") {
            parsed.help = true;
        } else if (args[n] == "-o" || args[n] == "--output") {
            if (n + 1 < args.size()) parsed.output = args[++n];
        } else {
            parsed.dirs.push_back(args[n]);
        }
    }
    return parsed;
}

}  // namespace tpcsim
