#include "sim/result_store.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "sim/kept_failures.h"
#include "sim/options.h"
#include "sim/point_columns.h"
#include "sim/text_file.h"

namespace tpcsim {

namespace fs = std::filesystem;

namespace {

// What a run writes into its directory; a new run removes the old ones.
const char* const kRunFiles[] = {"results.csv", "results.json", "plot.gp",      "ber.png",   "ber.svg",
                                 "uncoded.csv", "outage.csv",   "gnuplot.log",  "passes.gp", "passes.png",
                                 "passes.svg",  "failures.csv"};

// Keys that may differ between runs of one experiment: where the sweep
// goes and when it ends, not what a point counts.
const char* const kFreeKeys[] = {"ebn0",    "esn0",    "engine",      "max-time", "max-time-per-point",
                                 "min-ber", "min-fer", "no-zero-stop"};

}  // namespace

void ReplaceFile(const std::filesystem::path& path, const std::string& text) {
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << text;
        file.flush();
        if (!file) throw std::runtime_error("cannot write " + temporary.string());
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) throw std::runtime_error("cannot replace " + path.string() + ": " + error.message());
}

void PrepareOutputDirectory(const std::string& dir, bool resuming) {
    std::error_code error;
    fs::create_directories(dir, error);
    if (error || !fs::is_directory(dir)) {
        throw std::runtime_error("cannot create the output directory " + dir +
                                 (error ? ": " + error.message() : ""));
    }
    const fs::path probe = fs::path(dir) / ".tpcsim-probe";
    ReplaceFile(probe, "");
    fs::remove(probe, error);
    if (resuming) return;
    for (const char* name : kRunFiles) fs::remove(fs::path(dir) / name, error);
}

void WriteTables(const std::string& dir, const RunRecord& run) {
    ReplaceFile(fs::path(dir) / "results.csv", FormatCsv(run));
    ReplaceFile(fs::path(dir) / "results.json", FormatJson(run));
    if (KeepsFailures(run)) ReplaceFile(fs::path(dir) / "failures.csv", FormatFailuresCsv(run));
}

uint64_t PointKey(double valueDb) {
    return static_cast<uint64_t>(std::llround(valueDb * 1000));
}

StoredRun ReadStoredRun(const std::string& dir) {
    const fs::path path = fs::path(dir) / "results.json";
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("no results.json in " + dir);
    return ParseStoredRun(ReadText(file, path.string(), kMaxRunFileBytes), path.string());
}

StoredRun ParseStoredRun(const std::string& text, const std::string& name) {
    nlohmann::ordered_json doc;
    try {
        doc = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::exception&) {
        throw std::runtime_error(name + " is not valid JSON");
    }
    // Compared, never converted: a member of another type is a file tpcsim
    // did not write, not a JSON library error for the user.
    const std::string notOurs = name + " was not written by tpcsim";
    if (!doc.is_object() || !doc.contains("program") || doc["program"] != "tpcsim" ||
        !doc.contains("configuration") || !doc["configuration"].is_object() ||
        !doc.contains("points") || !doc["points"].is_array()) {
        throw std::runtime_error(notOurs);
    }
    StoredRun run;
    run.configuration = doc["configuration"];
    // A run of one pass count leaves the count of its rows to its configuration.
    const auto iterations = run.configuration.find("iterations");
    const int64_t onlyCount = iterations != run.configuration.end() && iterations->is_number_integer()
                                  ? iterations->get<int64_t>()
                                  : 0;
    for (const auto& p : doc["points"]) {
        run.points.push_back(PointFromJson(p));
        PointRecord& point = run.points.back();
        try {
            point.failures = FailuresFromJson(p);
        } catch (const std::invalid_argument&) {
            throw std::runtime_error(notOurs);
        }
        if (!p.contains("iterations")) point.iterations = onlyCount;
        bool negative = point.units < 0;
        for (const PointColumn& c : PointColumns()) negative |= c.count != nullptr && point.counts.*c.count < 0;
        if (negative) throw std::runtime_error(notOurs);
    }
    const auto pooled = doc.find("seeds");
    if (pooled != doc.end() && pooled->is_array()) {
        for (const auto& seed : *pooled) {
            if (!seed.is_number_unsigned()) throw std::runtime_error(notOurs);
            run.seeds.push_back(seed.get<uint64_t>());
        }
    } else if (doc.contains("seed") && doc["seed"].is_number_unsigned()) {
        run.seeds.push_back(doc["seed"].get<uint64_t>());
    }
    return run;
}

SimOptions OptionsOfRun(const std::string& dir) {
    const std::string file = (fs::path(dir) / "results.json").string();
    const ParseOutcome parsed = ParseOptions({"tpcsim", "--config", file});
    if (parsed.exitCode >= 0) throw std::runtime_error(file + ": " + parsed.message);
    return parsed.options;
}

std::string SeedList(const std::vector<uint64_t>& seeds) {
    std::string list;
    for (uint64_t seed : seeds) list += (list.empty() ? "" : ", ") + std::to_string(seed);
    return list;
}

std::string ConfigurationDifference(const nlohmann::ordered_json& ours,
                                    const nlohmann::ordered_json& theirs,
                                    const std::vector<std::string>& alsoFree) {
    const auto free = [&](const std::string& key) {
        return std::find(std::begin(kFreeKeys), std::end(kFreeKeys), key) != std::end(kFreeKeys) ||
               std::find(alsoFree.begin(), alsoFree.end(), key) != alsoFree.end();
    };
    for (const auto* side : {&ours, &theirs}) {
        for (auto it = side->begin(); it != side->end(); ++it) {
            if (free(it.key())) continue;
            const nlohmann::ordered_json mine = ours.contains(it.key()) ? ours[it.key()] : nullptr;
            const nlohmann::ordered_json other =
                theirs.contains(it.key()) ? theirs[it.key()] : nullptr;
            if (mine != other) {
                return it.key() + ": " + (mine.is_null() ? "not set" : mine.dump()) + " here, " +
                       (other.is_null() ? "not set" : other.dump()) + " there";
            }
        }
    }
    return "";
}

double SweptValue(const PointRecord& point, bool sweepIsEsN0) {
    return sweepIsEsN0 ? point.esN0Db : point.ebN0Db;
}

namespace {

// A row is a point at one pass count.
using RowKey = std::pair<uint64_t, int64_t>;

RowKey KeyOf(const PointRecord& p, bool sweepIsEsN0) {
    return {PointKey(SweptValue(p, sweepIsEsN0)), p.iterations};
}

// Rows of each pass count together, so that each count's curve is one run of
// lines in results.csv.
std::vector<PointRecord> InEbN0Order(const std::map<RowKey, PointRecord>& byKey) {
    std::vector<PointRecord> merged;
    for (const auto& entry : byKey) merged.push_back(entry.second);
    std::sort(merged.begin(), merged.end(), [](const PointRecord& a, const PointRecord& b) {
        return a.iterations != b.iterations ? a.iterations < b.iterations : a.ebN0Db < b.ebN0Db;
    });
    return merged;
}

}  // namespace

std::vector<PointRecord> MergePoints(const std::vector<std::vector<PointRecord>>& runs,
                                     bool sweepIsEsN0) {
    std::map<RowKey, PointRecord> byKey;
    for (const auto& points : runs) {
        for (const PointRecord& p : points) {
            const RowKey key = KeyOf(p, sweepIsEsN0);
            const auto it = byKey.find(key);
            if (it == byKey.end() || p.counts.blocks > it->second.counts.blocks) byKey[key] = p;
        }
    }
    return InEbN0Order(byKey);
}

std::vector<PointRecord> PoolPoints(const std::vector<std::vector<PointRecord>>& runs, bool sweepIsEsN0) {
    std::map<RowKey, PointRecord> byKey;
    for (const auto& points : runs) {
        for (const PointRecord& p : points) {
            const auto [it, first] = byKey.emplace(KeyOf(p, sweepIsEsN0), p);
            PointRecord& sum = it->second;
            // Replay regenerates a block from one seed's units, which a
            // pooled run no longer names.
            if (runs.size() > 1) sum.failures.clear();
            if (first) continue;
            // Counts read from files may be anything up to INT64_MAX; the
            // sum of squares saturates, as it does within a run.
            int64_t total = 0;
            bool overflow = __builtin_add_overflow(sum.units, p.units, &total);
            for (const PointColumn& c : PointColumns()) {
                if (c.count != nullptr && c.count != &LinkCounts::bitErrorsSquared) {
                    overflow |= __builtin_add_overflow(sum.counts.*c.count, p.counts.*c.count, &total);
                }
            }
            if (overflow) {
                throw std::runtime_error("the counts of the point at " + std::to_string(SweptValue(p, sweepIsEsN0)) +
                                         " dB are too large to pool");
            }
            sum.counts += p.counts;
            sum.units += p.units;
            sum.seconds += p.seconds;
            sum.passesCounted = sum.passesCounted && p.passesCounted;
            sum.timeLimited = sum.timeLimited || p.timeLimited;
        }
    }
    return InEbN0Order(byKey);
}

}  // namespace tpcsim
