// Any bytes as tpcsim's --config file: the reader (JSON or key = value
// lines), each value through the handler of its option where tpcsim reads
// the text itself (code, weights, sweeps) or into its text field, and the
// range checks over the record. A record they accept is written as
// results.json's "configuration" member and read back as --config and merge
// read it: every member must come back in order under its name, texts
// unchanged.
//
// Number options are CLI11's to convert. The program's parser declares all
// of its options on every call, which costs far more than the reading
// fuzzed here; the unit tests cover it.
//
// Input layout: the file's text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "sim/config_file.h"
#include "sim/option_checks.h"
#include "sim/option_table.h"

using namespace tpcsim;

namespace {

using Items = std::vector<std::pair<std::string, std::string>>;

// The row a config key names, as the parser matches it; nullptr for a key
// tpcsim refuses.
const OptionRow* RowNamed(const std::string& key) {
    for (const OptionRow& row : OptionTable()) {
        if (*row.group != '\0' && key == row.name + 2) return &row;
    }
    return nullptr;
}

// Reads `items` into `options` as far as tpcsim reads them itself; false
// when tpcsim would refuse the file.
bool Apply(const Items& items, SimOptions& options) {
    const GivenFn given = [&items](const char* name) {
        for (const auto& item : items) {
            if (item.first == name + 2) return true;
        }
        return false;
    };
    for (const auto& [key, value] : items) {
        const OptionRow* row = RowNamed(key);
        if (row == nullptr) return false;
        try {
            if (row->fromText != nullptr) {
                row->fromText(value, options, given);
            } else if (const auto* field = std::get_if<std::string SimOptions::*>(&row->field)) {
                options.**field = value;
            }
        } catch (const std::invalid_argument&) {
            return false;  // refused with the option's message
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Items items;
    try {
        items = ReadConfigText(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const std::runtime_error&) {
        return 0;  // the message tpcsim reports
    }
    SimOptions options;
    if (!Apply(items, options) || !ValidateOptions(options).empty()) return 0;

    const nlohmann::ordered_json configuration = ConfigurationJson(options);
    const Items back = ReadConfigText(configuration.dump(2));
    size_t n = 0;
    for (auto it = configuration.begin(); it != configuration.end(); ++it) {
        if (it.value().is_null()) continue;
        if (n >= back.size() || back[n].first != it.key()) std::abort();
        if (it.value().is_string() && back[n].second != it.value().get<std::string>()) std::abort();
        ++n;
    }
    if (n != back.size()) std::abort();
    return 0;
}
