// The checks tpcsim makes on a constellation file before a run. The library
// reads the first M points and ignores the label column (a point's label is
// its position in the file), so a short file, a long one or a broken label
// column would run without a word; tpcsim parses the whole file itself.
#pragma once

#include <string>
#include <vector>

namespace tpcsim {

// Every "label I Q" triple of a file, in file order (the leading count is
// skipped, as the library skips it).
struct ConstellationFile {
    std::vector<long> labels;
    std::vector<double> i, q;
};

// Throws, with the message for the user, std::invalid_argument when the file
// cannot be opened or a number is malformed, std::runtime_error when it is
// longer than the library reads (tpc::kMaxConstellationFileBytes).
ConstellationFile ReadConstellationFile(const std::string& path);
// The same for the file's text (the messages name `path`).
ConstellationFile ParseConstellationText(const std::string& text, const std::string& path);

struct ConstellationCheck {
    std::string error;                  // "" when the file can be run
    std::vector<std::string> warnings;  // the run goes on
};

// Errors: not exactly `points` points, labels not a permutation of
// 0 ... points-1. Warnings: labels out of file order, a labelling that is
// not Gray, mean energy not 1, M not a power of two.
ConstellationCheck CheckConstellationFile(const std::string& path, int points);
// The same checks on a file already read.
ConstellationCheck CheckConstellation(const ConstellationFile& file, const std::string& path,
                                      int points);

// Whether nearest neighbours (by distance, per point) differ in one bit of
// their labels, the label of a point being its index.
bool IsGrayLabelled(const std::vector<double>& i, const std::vector<double>& q);

}  // namespace tpcsim
