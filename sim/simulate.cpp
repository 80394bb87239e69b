#include "sim/simulate.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "sim/link_setup.h"
#include "sim/result_store.h"

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
    const std::string problem = ValidateOptions(parsed.options);
    if (!problem.empty()) throw std::invalid_argument(problem);
    return parsed.options;
}

std::vector<PointRecord> Simulate(const SimOptions& options, const std::atomic<bool>* stop) {
    if (options.engine != "blocks") throw std::invalid_argument("simulate runs the block engine only");
    const devhost::LinkConfig defaults = devhost::BuiltInLinkConfig();
    const std::vector<double> points = SweepEbN0(options);
    const std::vector<double> swept = ParseSweep(options.sweep);
    const devhost::LinkGeometry geometry = GeometryOfOptions(options);
    const int threads = options.threads > 0
                            ? options.threads
                            : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto started = std::chrono::steady_clock::now();
    std::vector<PointRecord> records;
    for (size_t i = 0; i < points.size(); ++i) {
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        if (options.maxTime > 0 && elapsed >= options.maxTime) break;
        const double limit = PointTimeLimit(options.maxTimePerPoint, options.maxTime, elapsed);
        const devhost::LinkConfig config = MakeLinkConfig(options, defaults, points[i]);
        const devhost::BlockLink check(config);  // the nodes' refusals, once
        const PointJob job{options.seed, PointKey(swept[i]), options.batch,
                           StopRule{options.errors, options.maxBlocks}, threads, limit};
        const PointResult result = RunPoint(
            job, [&](int) { return std::make_unique<BlockRunner>(config); }, stop, {});
        if (result.interrupted) break;
        records.push_back(RecordOf(points[i], result, geometry, true));
        const PointRecord& record = records.back();
        if (options.minBer > 0 && record.berInterval().high < options.minBer) break;
    }
    return records;
}

}  // namespace tpcsim
