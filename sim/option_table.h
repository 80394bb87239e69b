// The one declaration of tpcsim's options. The parser (sim/options.cpp),
// the range checks, the "configuration" member of results.json and --help
// (sim/option_checks.h) are all read from this table; a new option is one
// more row.
#pragma once

#include <functional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/sim_options.h"

namespace tpcsim {

// The record field an option sets and results.json writes; monostate for
// --code, which sets the six code fields.
using OptionField =
    std::variant<std::monostate, int32_t SimOptions::*, int64_t SimOptions::*,
                 uint64_t SimOptions::*, double SimOptions::*, bool SimOptions::*,
                 std::string SimOptions::*, int32_t (SimOptions::*)[3],
                 std::vector<int32_t> SimOptions::*>;

// The range check of a plain option, and the message it gives:
//   kRange        "... must be between LOW and HIGH"
//   kFinite       "... must be a finite number"
//   kPositive     "... must be a positive number"
//   kAtLeast      "... must be at least LOW"
//   kPositiveInt  "... must be a positive integer"
enum class Rule { kNone, kRange, kFinite, kPositive, kAtLeast, kPositiveInt };
struct Bounds {
    Rule rule = Rule::kNone;
    double low = 0, high = 0;
};

// Whether an option was given (on the command line or in the config file).
using GivenFn = std::function<bool(const char* name)>;

struct OptionRow {
    const char* name;   // "--nx"; without the dashes, its config file and results.json key
    const char* group;  // help group; "" for --config, which CLI11 places itself
    const char* help;
    OptionField field = {};
    Bounds bounds = {};              // on each element of an array field
    bool constellationOnly = false;  // bounds checked and JSON written only with --constellation
    bool inJson = true;              // written to results.json (monostate fields never are)

    // Special options.
    const char* shownDefault = nullptr;  // the default --help shows, instead of the field's
    bool rangeInHelp = false;            // --help adds the bounds: "(LOW ... HIGH)"
    const char* excludes = nullptr;      // an option that cannot be given with this one
    // Read from text by tpcsim rather than by CLI11 (skipped when empty);
    // throws std::invalid_argument with the message for the user.
    void (*fromText)(const std::string& text, SimOptions& o, const GivenFn& given) = nullptr;
    void (*whenGiven)(SimOptions& o) = nullptr;            // after CLI11 has set the field
    // Instead of `bounds`; it decides alone when it applies.
    std::string (*check)(const SimOptions& o) = nullptr;
    bool (*written)(const SimOptions& o) = nullptr;       // JSON only when this says so
};

// In --help order, which is also the order of the checks and of the keys.
const std::vector<OptionRow>& OptionTable();

// "A:B:S" (inclusive of B within a small tolerance) or "a,b,c", in dB.
// Throws std::invalid_argument with a message on malformed text.
std::vector<double> ParseSweep(const std::string& text);

// "NAME must be between LOW and HIGH".
std::string RangeMessage(const std::string& name, double low, double high);

}  // namespace tpcsim
