#include "sim/kept_failures.h"

#include <stdexcept>

#include "sim/text_format.h"

namespace tpcsim {

nlohmann::ordered_json FailuresJson(const std::vector<KeptFailure>& failures) {
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    for (const KeptFailure& f : failures) {
        list.push_back({{"unit", f.unit},
                        {"block", f.block.block},
                        {"bit_errors", f.block.bitErrors},
                        {"detected", !f.block.undetected},
                        {"passes", f.block.passes}});
    }
    return list;
}

std::vector<KeptFailure> FailuresFromJson(const nlohmann::ordered_json& point) {
    std::vector<KeptFailure> failures;
    const auto list = point.find("failures");
    if (list == point.end() || !list->is_array()) return failures;
    for (const auto& f : *list) {
        // Another program's file: refused by the caller, not a JSON library error.
        const auto number = [&f](const char* key) { return !f.contains(key) || f[key].is_number_integer(); };
        if (!f.is_object() || !number("unit") || !number("block") || !number("bit_errors") || !number("passes") ||
            (f.contains("detected") && !f["detected"].is_boolean())) {
            throw std::invalid_argument("a kept failure that is not one");
        }
        KeptFailure kept;
        kept.unit = f.value("unit", int64_t{0});
        kept.block.block = f.value("block", int64_t{0});
        kept.block.bitErrors = f.value("bit_errors", int64_t{0});
        kept.block.undetected = !f.value("detected", true);
        kept.block.passes = f.value("passes", int32_t{0});
        failures.push_back(kept);
    }
    return failures;
}

bool KeepsFailures(const RunRecord& run) {
    for (const PointRecord& p : run.points) {
        if (!p.failures.empty()) return true;
    }
    return run.options.keepFailures > 0;
}

std::string FormatFailuresCsv(const RunRecord& run) {
    std::string csv = "ebn0_db,esn0_db,failure,unit,block,bit_errors,detected,passes\n";
    for (const PointRecord& p : run.points) {
        for (size_t i = 0; i < p.failures.size(); ++i) {
            const KeptFailure& f = p.failures[i];
            csv += Format("%.4f,%.4f,%zu,%lld,%lld,%lld,%d,%d\n", p.ebN0Db, p.esN0Db, i + 1,
                          static_cast<long long>(f.unit), static_cast<long long>(f.block.block),
                          static_cast<long long>(f.block.bitErrors), f.block.undetected ? 0 : 1, f.block.passes);
        }
    }
    return csv;
}

std::vector<KeptFailure> JoinFailures(const std::vector<KeptFailure>& stored, const std::vector<KeptFailure>& added,
                                      int32_t limit) {
    std::vector<KeptFailure> joined;
    for (const auto* part : {&stored, &added}) {
        for (const KeptFailure& f : *part) {
            if (joined.size() < static_cast<size_t>(limit)) joined.push_back(f);
        }
    }
    return joined;
}

}  // namespace tpcsim
