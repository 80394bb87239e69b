// Arrays as NumPy's .npy files (format 1.0: magic, version, a header dict
// padded to 64 bytes, then the data in C order), so that tpcsim needs no
// NumPy to write what NumPy users load with numpy.load.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tpcsim {

// The data are written as they lie in memory: little-endian, which the
// header says.
void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const uint8_t* data);
void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const int32_t* data);
void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const double* data);

// The header of an array of `descr` ('<i4', '|u1', '<f8') and `shape`.
std::string NpyHeader(const std::string& descr, const std::vector<int64_t>& shape);

}  // namespace tpcsim
