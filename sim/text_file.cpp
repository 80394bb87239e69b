#include "sim/text_file.h"

#include <fstream>
#include <stdexcept>

namespace tpcsim {

std::string ReadText(std::istream& input, const std::string& name, size_t limit) {
    std::string text;
    char chunk[65536];
    while (input) {
        input.read(chunk, sizeof chunk);
        text.append(chunk, static_cast<size_t>(input.gcount()));
        if (text.size() > limit) {
            throw std::runtime_error(name + " is longer than " + std::to_string(limit) + " bytes");
        }
    }
    if (input.bad()) throw std::runtime_error("cannot read " + name);
    return text;
}

std::string ReadTextFile(const std::string& path, size_t limit) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error("cannot open " + path);
    return ReadText(file, path, limit);
}

}  // namespace tpcsim
