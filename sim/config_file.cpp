#include "sim/config_file.h"

#include <cctype>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace tpcsim {

namespace {

std::string Trim(const std::string& s) {
    size_t begin = 0, end = s.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(s[begin]))) ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(s[end - 1]))) --end;
    return s.substr(begin, end - begin);
}

std::string ScalarText(const nlohmann::ordered_json& value, const std::string& key) {
    if (value.is_string()) return value.get<std::string>();
    if (value.is_boolean()) return value.get<bool>() ? "true" : "false";
    if (value.is_number_integer()) return std::to_string(value.get<long long>());
    if (value.is_number_unsigned()) return std::to_string(value.get<unsigned long long>());
    if (value.is_number_float()) {
        std::ostringstream text;
        text.precision(17);
        text << value.get<double>();
        return text.str();
    }
    throw std::runtime_error("config key \"" + key + "\": expected a number, string or boolean");
}

std::vector<std::pair<std::string, std::string>> FromJson(const std::string& text) {
    nlohmann::ordered_json document;
    try {
        document = nlohmann::ordered_json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("config file is not valid JSON: ") + e.what());
    }
    if (document.is_object() && document.contains("configuration") &&
        document["configuration"].is_object()) {
        document = document["configuration"];
    }
    if (!document.is_object()) throw std::runtime_error("config file: expected a JSON object");
    std::vector<std::pair<std::string, std::string>> items;
    for (auto it = document.begin(); it != document.end(); ++it) {
        if (it.value().is_null()) continue;
        if (it.value().is_array()) {
            std::string joined;
            for (const nlohmann::ordered_json& element : it.value()) {
                if (!joined.empty()) joined += ',';
                joined += ScalarText(element, it.key());
            }
            items.emplace_back(it.key(), joined);
        } else {
            items.emplace_back(it.key(), ScalarText(it.value(), it.key()));
        }
    }
    return items;
}

std::vector<std::pair<std::string, std::string>> FromLines(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> items;
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        const size_t comment = line.find('#');
        if (comment != std::string::npos) line.erase(comment);
        line = Trim(line);
        if (line.empty()) continue;
        const size_t equals = line.find('=');
        if (equals == std::string::npos || Trim(line.substr(0, equals)).empty()) {
            throw std::runtime_error("config file line " + std::to_string(number) +
                                     ": expected key = value");
        }
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        items.emplace_back(Trim(line.substr(0, equals)), value);
    }
    return items;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> ReadConfigText(const std::string& text) {
    const std::string trimmed = Trim(text);
    if (!trimmed.empty() && trimmed.front() == '{') return FromJson(trimmed);
    return FromLines(text);
}

}  // namespace tpcsim
