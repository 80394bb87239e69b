// Config files for tpcsim: either JSON or "key = value" lines, keys being the
// long option names ("nx", "selective-stop", "ebn0", ...). A results.json
// written by an earlier run is accepted too: its "configuration" member is
// read, which repeats that run.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tpcsim {

// Key and value pairs of a config text; arrays are joined with commas and
// booleans written as "true"/"false". Throws std::runtime_error on text that
// is neither valid JSON (when it starts with '{') nor key = value lines.
std::vector<std::pair<std::string, std::string>> ReadConfigText(const std::string& text);

}  // namespace tpcsim
