// printf-style formatting into a std::string, for the tables, files and
// plot scripts tpcsim writes.
#pragma once

#include <string>

namespace tpcsim {

// At most 1023 characters: longer text is cut.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace tpcsim
