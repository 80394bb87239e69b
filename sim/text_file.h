// Files tpcsim reads whole (config files, results.json, constellation files),
// read up to a limit: a device or a pipe that never ends, or a file far
// larger than any tpcsim writes, is refused instead of filling memory.
#pragma once

#include <cstddef>
#include <istream>
#include <string>

namespace tpcsim {

// A config file, results.json or results.csv: a sweep of 1000 points, the
// most tpcsim runs, writes about half a megabyte of JSON.
inline constexpr size_t kMaxRunFileBytes = size_t{4} << 20;

// The file's text. Throws std::runtime_error "cannot open PATH" or "PATH is
// longer than LIMIT bytes", stopping at the first read that passes the limit.
std::string ReadTextFile(const std::string& path, size_t limit);

// The same for an open stream, `name` standing for it in the message.
std::string ReadText(std::istream& input, const std::string& name, size_t limit);

}  // namespace tpcsim
