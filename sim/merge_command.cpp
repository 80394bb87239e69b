#include "sim/merge_command.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "sim/directory_arguments.h"
#include "sim/link_setup.h"
#include "sim/option_checks.h"
#include "sim/options.h"
#include "sim/option_table.h"
#include "sim/plot_script.h"
#include "sim/references.h"
#include "sim/result_store.h"
#include "sim/results.h"

namespace tpcsim {

namespace {

constexpr char kUsage[] =
    "usage: tpcsim merge DIR... -o OUT\n"
    "  joins result directories of one configuration into OUT (results.csv, results.json, plot);\n"
    "  runs of different seeds pool their counts\n";

}  // namespace

int RunMergeCommand(const std::vector<std::string>& args) {
    const DirectoryArguments parsed = ParseDirectoryArguments(args);
    if (parsed.help) return std::fputs(kUsage, stdout) < 0;
    const std::vector<std::string>& dirs = parsed.dirs;
    const std::string& out = parsed.output;
    if (dirs.empty() || out.empty()) {
        std::fprintf(stderr, "tpcsim merge: give the result directories and -o OUT\n%s", kUsage);
        return 2;
    }
    RunRecord merged;
    try {
        merged.options = OptionsOfRun(dirs.front());
        const auto configuration = ConfigurationJson(merged.options);
        // Runs of one seed (or one pooled set of seeds) repeat each other's
        // units: one point each. Runs of other seeds are independent: pooled.
        std::map<std::vector<uint64_t>, std::vector<std::vector<PointRecord>>> bySeeds;
        for (const std::string& dir : dirs) {
            StoredRun run = ReadStoredRun(dir);
            const std::string difference = ConfigurationDifference(configuration, run.configuration, {"seed"});
            if (!difference.empty()) {
                throw std::runtime_error(dir + " holds another configuration than " + dirs.front() + " (" +
                                         difference + ")");
            }
            std::vector<uint64_t> seeds = run.seeds;
            std::sort(seeds.begin(), seeds.end());
            for (const auto& [others, unused] : bySeeds) {
                for (uint64_t seed : seeds) {
                    if (others != seeds && std::binary_search(others.begin(), others.end(), seed)) {
                        throw std::runtime_error(dir + " and another directory both hold seed " +
                                                 std::to_string(seed) + " among other seeds: pooling would count it twice");
                    }
                }
            }
            for (uint64_t seed : run.seeds) {
                if (std::find(merged.pooledSeeds.begin(), merged.pooledSeeds.end(), seed) == merged.pooledSeeds.end()) {
                    merged.pooledSeeds.push_back(seed);
                }
            }
            bySeeds[seeds].push_back(std::move(run.points));
        }
        merged.options.out = out;
        std::vector<std::vector<PointRecord>> perSeeds;
        for (const auto& entry : bySeeds) perSeeds.push_back(MergePoints(entry.second, merged.options.sweepIsEsN0));
        merged.points = PoolPoints(perSeeds, merged.options.sweepIsEsN0);
        for (PointRecord& p : merged.points) merged.seconds += p.seconds;
        merged.geometry = GeometryOfOptions(merged.options);
        // A constellation file the runs name must still be readable from here.
        std::vector<double> ebN0;
        for (const PointRecord& p : merged.points) ebN0.push_back(p.ebN0Db);
        AddReferences(merged, ebN0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim merge: %s\n", e.what());
        return 2;
    }
    try {
        PrepareOutputDirectory(out, false);
        WriteTables(out, merged);
        const std::string note = WritePlot(out, merged);
        if (!note.empty()) std::fprintf(stderr, "tpcsim merge: %s\n", note.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpcsim merge: %s\n", e.what());
        return 1;
    }
    // The merged table, as a run prints its own.
    const bool passList = merged.options.iterations.size() > 1;
    std::string table = TableHeader(passList);
    for (const PointRecord& p : merged.points) table += TableRow(p, passList);
    std::fputs(table.c_str(), stdout);
    std::fflush(stdout);
    const std::string pooled =
        merged.pooledSeeds.size() > 1 ? "; pooled the counts of seeds " + SeedList(merged.pooledSeeds) : "";
    std::fprintf(stderr, "tpcsim merge: %zu points from %zu directories in %s%s\n", merged.points.size(),
                 dirs.size(), out.c_str(), pooled.c_str());
    return 0;
}

}  // namespace tpcsim
