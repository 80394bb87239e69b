// tpcsim's options written as on a command line, for the sim tests.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/options.h"

namespace tpcsim {

// `words` split at white space after the program's name, parsed; a refusal
// fails the calling test with its message.
inline SimOptions CommandLineOptions(const std::string& words) {
    std::vector<std::string> args{"tpcsim"};
    std::istringstream in(words);
    for (std::string word; in >> word;) args.push_back(word);
    const ParseOutcome parsed = ParseOptions(args);
    EXPECT_EQ(parsed.exitCode, -1) << parsed.message;
    return parsed.options;
}

}  // namespace tpcsim
