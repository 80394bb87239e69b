#include "sim/simulate.h"

#include <stdexcept>

#include "sim/option_checks.h"

namespace tpcsim {

SimOptions OptionsFromPairs(const std::vector<std::pair<std::string, std::string>>& pairs) {
    std::vector<std::string> args{"tpcsim"};
    for (const auto& [name, value] : pairs) {
        const std::string option = "--" + name;
        if (value == "true") {
            args.push_back(option);
        } else if (value != "false") {
            args.push_back(option);
            args.push_back(value);
        }
    }
    // At least one argument, or the parser would choose the embedded default run.
    if (args.size() == 1) args.push_back("--quiet");
    const ParseOutcome parsed = ParseOptions(args);
    if (parsed.exitCode >= 0) {
        std::string message = parsed.message;
        if (message.rfind("tpcsim: ", 0) == 0) message.erase(0, 8);
        message = message.substr(0, message.find('\n'));
        throw std::invalid_argument(message);
    }
    SimOptions options = parsed.options;
    std::string problem = ValidateOptions(options);
    if (problem.empty()) problem = SettleOutput(options);
    if (!problem.empty()) throw std::invalid_argument(problem);
    if (options.engine != "blocks") throw std::invalid_argument("simulate runs the block engine only");
    return options;
}

RunRecord Simulate(const SimOptions& options, const SweepHooks& hooks) {
    Sweep sweep(options, hooks);
    sweep.run();
    return sweep.record();
}

}  // namespace tpcsim
