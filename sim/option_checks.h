// What is read from the option table besides the parser: the range checks
// of a parsed record, the defaults --help shows, and the "configuration"
// member of results.json.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "sim/option_table.h"
#include "sim/sim_options.h"

namespace tpcsim {

// Range checks on a parsed record; the first problem as a message, or "".
std::string ValidateOptions(const SimOptions& options);

// The row's default as --help shows it, for the rows CLI11 cannot show
// itself: shownDefault, or the field of the default record as text.
std::string ShownDefault(const OptionRow& row);

// The row's text in --help, its bounds added where the row asks for them.
std::string HelpText(const OptionRow& row);

// The "configuration" member of results.json: the options of the run under
// their names, so that the file can be given to --config to repeat it.
nlohmann::ordered_json ConfigurationJson(const SimOptions& options);

}  // namespace tpcsim
