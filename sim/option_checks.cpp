// The range checks, the "configuration" member of results.json and the
// defaults --help shows, all read from the option table.
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "sim/option_checks.h"

namespace tpcsim {

namespace {

double AsNumber(const SimOptions& o, const OptionField& field) {
    return std::visit(
        [&o](auto member) -> double {
            using T = decltype(member);
            if constexpr (std::is_same_v<T, int32_t SimOptions::*> ||
                          std::is_same_v<T, int64_t SimOptions::*> ||
                          std::is_same_v<T, double SimOptions::*>) {
                return static_cast<double>(o.*member);
            } else {
                throw std::logic_error("a range check on a field that is not a number");
            }
        },
        field);
}

std::string BoundsProblem(const std::string& name, const Bounds& b, double value) {
    std::ostringstream low;
    low << b.low;
    switch (b.rule) {
        case Rule::kNone: return "";
        case Rule::kRange: return value >= b.low && value <= b.high ? "" : RangeMessage(name, b.low, b.high);
        case Rule::kFinite: return std::isfinite(value) ? "" : name + " must be a finite number";
        case Rule::kPositive:
            return value > 0 && std::isfinite(value) ? "" : name + " must be a positive number";
        case Rule::kAtLeast: return value >= b.low ? "" : name + " must be at least " + low.str();
        case Rule::kPositiveInt: return value >= 1 ? "" : name + " must be a positive integer";
    }
    return "";
}

std::string RowProblem(const OptionRow& row, const SimOptions& o) {
    if (row.check != nullptr) return row.check(o);
    if (row.bounds.rule == Rule::kNone || (row.constellationOnly && o.constellation.empty())) return "";
    if (const auto* array = std::get_if<int32_t(SimOptions::*)[3]>(&row.field)) {
        for (int32_t value : o.**array) {
            const std::string problem = BoundsProblem(std::string("each of ") + row.name, row.bounds, value);
            if (!problem.empty()) return problem;
        }
        return "";
    }
    if (const auto* list = std::get_if<std::vector<int32_t> SimOptions::*>(&row.field)) {
        const std::string name = (o.**list).size() > 1 ? std::string("each of ") + row.name : row.name;
        for (int32_t value : o.**list) {
            const std::string problem = BoundsProblem(name, row.bounds, value);
            if (!problem.empty()) return problem;
        }
        return "";
    }
    return BoundsProblem(row.name, row.bounds, AsNumber(o, row.field));
}

nlohmann::ordered_json FieldJson(const SimOptions& o, const OptionField& field) {
    return std::visit(
        [&o](auto member) -> nlohmann::ordered_json {
            using T = decltype(member);
            if constexpr (std::is_same_v<T, std::monostate>) {
                return nullptr;
            } else if constexpr (std::is_same_v<T, int32_t(SimOptions::*)[3]>) {
                return {(o.*member)[0], (o.*member)[1], (o.*member)[2]};
            } else if constexpr (std::is_same_v<T, std::vector<int32_t> SimOptions::*>) {
                // One count stays a number, as runs before lists wrote it.
                const std::vector<int32_t>& values = o.*member;
                if (values.size() == 1) return values.front();
                return values;
            } else {
                return o.*member;
            }
        },
        field);
}

}  // namespace

std::string ShownDefault(const OptionRow& row) {
    if (row.shownDefault != nullptr) return row.shownDefault;
    const nlohmann::ordered_json value = FieldJson(SimOptions{}, row.field);
    if (value.is_string()) return value.get<std::string>();
    if (!value.is_array()) return value.is_null() ? "" : value.dump();
    std::string text;
    for (const auto& element : value) text += (text.empty() ? "" : ",") + element.dump();
    return text;
}

std::string HelpText(const OptionRow& row) {
    if (!row.rangeInHelp) return row.help;
    std::ostringstream text;
    text << row.help << " (" << row.bounds.low << " ... " << row.bounds.high << ")";
    return text.str();
}

std::string ValidateOptions(const SimOptions& o) {
    for (const OptionRow& row : OptionTable()) {
        std::string problem = RowProblem(row, o);
        if (!problem.empty()) return problem;
    }
    return "";
}

nlohmann::ordered_json ConfigurationJson(const SimOptions& o) {
    nlohmann::ordered_json config = nlohmann::ordered_json::object();
    for (const OptionRow& row : OptionTable()) {
        if (!row.inJson || std::holds_alternative<std::monostate>(row.field)) continue;
        if (row.constellationOnly && o.constellation.empty()) continue;
        if (row.written != nullptr && !row.written(o)) continue;
        config[row.name + 2] = FieldJson(o, row.field);
    }
    return config;
}

}  // namespace tpcsim
