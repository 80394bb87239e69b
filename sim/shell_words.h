// Words as a POSIX shell reads them back: the command line recorded in
// results.json and the directory handed to gnuplot.
#pragma once

#include <string>
#include <vector>

namespace tpcsim {

// `word` as it stands when it needs no quoting, otherwise in single quotes.
std::string ShellWord(const std::string& word);

// Shell words joined by blanks.
std::string JoinCommandLine(const std::vector<std::string>& args);

}  // namespace tpcsim
