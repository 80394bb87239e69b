// Failing blocks kept by --keep-failures, as the results directory holds
// them: a "failures" array in each point of results.json (read back by
// --resume and merge with the point) and failures.csv, one row per block.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/results.h"

namespace tpcsim {

nlohmann::ordered_json FailuresJson(const std::vector<KeptFailure>& failures);
// The "failures" of a point of results.json; none when it has none.
std::vector<KeptFailure> FailuresFromJson(const nlohmann::ordered_json& point);

// failures.csv: ebn0_db, esn0_db, failure (from 1 within its point), unit,
// block, bit_errors, detected, passes.
std::string FormatFailuresCsv(const RunRecord& run);
bool KeepsFailures(const RunRecord& run);

// The failures a point continued by --resume keeps: those stored first
// (from earlier units), then the new ones, `limit` in all.
std::vector<KeptFailure> JoinFailures(const std::vector<KeptFailure>& stored, const std::vector<KeptFailure>& added,
                                      int32_t limit);

}  // namespace tpcsim
