#include "sim/npy_file.h"

#include <fstream>
#include <stdexcept>

namespace tpcsim {

namespace {

int64_t Elements(const std::vector<int64_t>& shape) {
    int64_t count = 1;
    for (int64_t extent : shape) count *= extent;
    return count;
}

void Write(const std::string& path, const std::string& descr, const std::vector<int64_t>& shape, const void* data,
           size_t elementBytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string header = NpyHeader(descr, shape);
    file.write(header.data(), static_cast<std::streamsize>(header.size()));
    file.write(static_cast<const char*>(data), static_cast<std::streamsize>(Elements(shape) * elementBytes));
    if (!file) throw std::runtime_error("cannot write " + path);
}

}  // namespace

std::string NpyHeader(const std::string& descr, const std::vector<int64_t>& shape) {
    std::string dims;
    for (int64_t extent : shape) dims += std::to_string(extent) + ", ";
    // "(3,)" for one axis, "(3, 4)" for more.
    if (!shape.empty()) dims.erase(dims.size() - (shape.size() == 1 ? 1 : 2));
    std::string dict = "{'descr': '" + descr + "', 'fortran_order': False, 'shape': (" + dims + "), }";
    // Magic (6), version (2), length (2), the dict and its newline: a
    // multiple of 64 bytes, so that the data are aligned.
    const size_t unpadded = 10 + dict.size() + 1;
    dict.append((64 - unpadded % 64) % 64, ' ');
    dict += '\n';
    std::string header("\x93NUMPY\x01\x00", 8);
    header += static_cast<char>(dict.size() & 0xff);
    header += static_cast<char>(dict.size() >> 8);
    return header + dict;
}

void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const uint8_t* data) {
    Write(path, "|u1", shape, data, 1);
}

void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const int32_t* data) {
    Write(path, "<i4", shape, data, 4);
}

void WriteNpy(const std::string& path, const std::vector<int64_t>& shape, const double* data) {
    Write(path, "<f8", shape, data, 8);
}

}  // namespace tpcsim
