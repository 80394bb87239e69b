// The output directory of a sweep as it goes: checked before the first
// block, results.csv and results.json rewritten whole after every point
// (written to a temporary file, then renamed over the old one, so a reader
// or a crash never sees half a file), and read back to resume or merge runs.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/results.h"

namespace tpcsim {

// Creates `dir` if needed and proves it writable. A new run (not resuming)
// removes what an earlier run left there, so that no old plot stands beside
// new tables. Throws std::runtime_error with the reason.
void PrepareOutputDirectory(const std::string& dir, bool resuming);

// `text` as the file at `path`, replacing it at once (a temporary file
// renamed over it). Throws std::runtime_error on failure.
void ReplaceFile(const std::filesystem::path& path, const std::string& text);

// results.csv and results.json, each replaced at once. Throws on failure.
void WriteTables(const std::string& dir, const RunRecord& run);

// The key of a sweep point: its value in thousandths of a dB. Seeds and
// resumed points go by it, so a point is the same whatever else the sweep
// holds.
uint64_t PointKey(double valueDb);

// A finished run read back from its results.json.
struct StoredRun {
    nlohmann::ordered_json configuration;
    std::vector<PointRecord> points;
    std::vector<uint64_t> seeds;  // one, or those of the runs merge pooled
};

// "1, 7": seeds as a message gives them.
std::string SeedList(const std::vector<uint64_t>& seeds);
// Throws std::runtime_error when the file is missing or not tpcsim's.
StoredRun ReadStoredRun(const std::string& dir);
// The same for the text of a results.json, `name` standing for the file in
// the messages.
StoredRun ParseStoredRun(const std::string& text, const std::string& name);

// The options of the run in `dir`, read back from its results.json as
// --config reads it. Throws std::runtime_error.
SimOptions OptionsOfRun(const std::string& dir);

// "" when two configurations describe the same experiment (the sweep
// points, the engine, the time limits and the keys `alsoFree` may differ),
// otherwise the first difference, as "KEY: A here, B there".
std::string ConfigurationDifference(const nlohmann::ordered_json& ours,
                                    const nlohmann::ordered_json& theirs,
                                    const std::vector<std::string>& alsoFree = {});

// The swept value of a point: Es/N0 for an Es/N0 sweep, else Eb/N0.
double SweptValue(const PointRecord& point, bool sweepIsEsN0);

// Points of several runs of one configuration, one per key and pass count
// (the one with the most blocks where two share them), by pass count, then
// in increasing Eb/N0.
std::vector<PointRecord> MergePoints(const std::vector<std::vector<PointRecord>>& runs,
                                     bool sweepIsEsN0);

// Points of runs of one configuration with different seeds (independent
// samples): the counts, seconds and units of each point summed over the runs
// that hold it, ordered as MergePoints orders them. Throws
// std::runtime_error when a sum does not fit its 64 bits.
std::vector<PointRecord> PoolPoints(const std::vector<std::vector<PointRecord>>& runs, bool sweepIsEsN0);

}  // namespace tpcsim
