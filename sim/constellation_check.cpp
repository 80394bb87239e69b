#include "sim/constellation_check.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <type_traits>

#include "llr/constellation_reader.h"
#include "sim/text_file.h"

namespace tpcsim {

namespace {

std::string Quoted(const std::string& path) { return "constellation file \"" + path + "\""; }

// One whole token as a number of the type the library reads there.
template <class T>
T ParseToken(const std::string& token, const std::string& where) {
    size_t used = 0;
    T value{};
    try {
        if constexpr (std::is_same_v<T, long>) value = std::stol(token, &used);
        else value = std::stod(token, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != token.size()) {
        throw std::invalid_argument(where + ": \"" + token + "\" is not " +
                                    (std::is_same_v<T, long> ? "an integer" : "a number"));
    }
    return value;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

// The first repeated or out-of-range label as a message, or "".
std::string LabelProblem(const std::vector<long>& labels) {
    const long m = static_cast<long>(labels.size());
    std::vector<bool> seen(labels.size(), false);
    for (long label : labels) {
        if (label < 0 || label >= m) return "label " + std::to_string(label) + " is out of range";
        if (seen[static_cast<size_t>(label)]) return "label " + std::to_string(label) + " is repeated";
        seen[static_cast<size_t>(label)] = true;
    }
    return "";
}

int BitCount(unsigned v) {
    int n = 0;
    for (; v != 0; v &= v - 1) ++n;
    return n;
}

}  // namespace

ConstellationFile ReadConstellationFile(const std::string& path) {
    std::ifstream input(path, std::ios::binary);
    if (!input) throw std::invalid_argument("cannot open the " + Quoted(path));
    return ParseConstellationText(ReadText(input, Quoted(path), tpc::kMaxConstellationFileBytes), path);
}

ConstellationFile ParseConstellationText(const std::string& text, const std::string& path) {
    std::istringstream file(text);
    std::string token;
    if (!(file >> token)) throw std::invalid_argument(Quoted(path) + " is empty");
    ParseToken<long>(token, Quoted(path) + ", the number of points");
    ConstellationFile c;
    while (file >> token) {
        const std::string where = Quoted(path) + ", point " + std::to_string(c.labels.size());
        c.labels.push_back(ParseToken<long>(token, where + " label"));
        std::string i, q;
        if (!(file >> i >> q)) throw std::invalid_argument(where + ": expected \"label I Q\"");
        c.i.push_back(ParseToken<double>(i, where + " I"));
        c.q.push_back(ParseToken<double>(q, where + " Q"));
    }
    return c;
}

bool IsGrayLabelled(const std::vector<double>& i, const std::vector<double>& q) {
    const size_t m = i.size();
    for (size_t a = 0; a < m; ++a) {
        double nearest = INFINITY;
        std::vector<double> distance(m);
        for (size_t b = 0; b < m; ++b) {
            distance[b] = std::hypot(i[a] - i[b], q[a] - q[b]);
            if (b != a) nearest = std::min(nearest, distance[b]);
        }
        // Equal distances written in decimal differ in the last digits.
        for (size_t b = 0; b < m; ++b) {
            if (b != a && distance[b] <= nearest * (1 + 1e-6) &&
                BitCount(static_cast<unsigned>(a ^ b)) != 1) {
                return false;
            }
        }
    }
    return true;
}

ConstellationCheck CheckConstellationFile(const std::string& path, int points) {
    ConstellationCheck check;
    ConstellationFile c;
    try {
        c = ReadConstellationFile(path);
    } catch (const std::exception& e) {
        check.error = e.what();
        return check;
    }
    return CheckConstellation(c, path, points);
}

ConstellationCheck CheckConstellation(const ConstellationFile& c, const std::string& path,
                                      int points) {
    ConstellationCheck check;
    const int found = static_cast<int>(c.labels.size());
    if (found != points) {
        check.error = Quoted(path) + " holds " + std::to_string(found) + " points, --points is " +
                      std::to_string(points) + ": they must agree";
        return check;
    }
    if (const std::string problem = LabelProblem(c.labels); !problem.empty()) {
        check.error = Quoted(path) + ": the labels must be a permutation of 0 ... " +
                      std::to_string(points - 1) + "; " + problem;
        return check;
    }
    for (int s = 0; s < found; ++s) {
        if (c.labels[static_cast<size_t>(s)] != s) {
            check.warnings.push_back(Quoted(path) +
                                     ": the labels are not in file order; the link labels each point "
                                     "by its position in the file, not by the label column");
            break;
        }
    }
    if (!IsGrayLabelled(c.i, c.q)) {
        check.warnings.push_back(Quoted(path) +
                                 ": the labelling is not Gray (nearest neighbours differ in more than "
                                 "one label bit)");
    }
    double energy = 0;
    for (int s = 0; s < found; ++s) energy += c.i[size_t(s)] * c.i[size_t(s)] + c.q[size_t(s)] * c.q[size_t(s)];
    energy /= found;
    if (std::fabs(energy - 1) > 1e-4) {
        check.warnings.push_back(Quoted(path) + ": the average symbol energy is " + Number(energy) +
                                 ", not 1; the link scales the noise by it");
    }
    int sent = 1;
    while (sent * 2 <= points) sent *= 2;
    if (sent != points) {
        check.warnings.push_back(Quoted(path) + ": M = " + std::to_string(points) +
                                 " is not a power of two; points " + std::to_string(sent) + " ... " +
                                 std::to_string(points - 1) + " are never sent");
    }
    return check;
}

}  // namespace tpcsim
