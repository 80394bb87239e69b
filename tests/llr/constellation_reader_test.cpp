// Constellation file reading: points by position, short and malformed files,
// never a write past M points or past the arrays' 256 entries.
#include "llr/constellation_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "llr_test_support.h"

namespace {

constexpr double kUntouched = 7.25;  // marks entries the reader must not write

struct ReaderCase {
    const char* what;
    std::string content;
    int32_t M;
    std::vector<double> expectedI;  // entries the reader may write; zero-filled before the read
    std::vector<double> expectedQ;
};

TEST(ConstellationReader, ReadsPointsByPositionAndStopsAtTheFirstFailedScan) {
    // 300 points "s s+1 -s": only the first 256 fit the arrays.
    ReaderCase many{"M beyond the arrays", "300\n", 300, {}, {}};
    for (int s = 0; s < 300; ++s) {
        many.content += std::to_string(s) + " " + std::to_string(s + 1) + " " + std::to_string(-s) + "\n";
        if (s >= 256) continue;
        many.expectedI.push_back(s + 1.0);
        many.expectedQ.push_back(-s);
    }
    const std::vector<ReaderCase> cases = {
        {"well formed", "4\n0 -1 -1\n1 1 -1\n2 -1 1\n3 1 1\n", 4, {-1, 1, -1, 1}, {-1, -1, 1, 1}},
        {"labels out of order are ignored", "4\n3 0.5 0.25\n1 -2 3\n0 4e-1 -5\n2 6 .5\n", 4,
         {0.5, -2, 0.4, 6}, {0.25, 3, -5, 0.5}},
        {"only M - 1 complete points", "4 0 1 2 1 3 4 2 5 6\n", 4, {1, 3, 5, 0}, {2, 4, 6, 0}},
        {"file ends inside a point", "3\n0 1 2\n1 3 4\n2 5", 3, {1, 3, 5}, {2, 4, 0}},
        // "%d" takes the 1 of 1.0; ".0" becomes the I coordinate and every
        // later number moves up one place.
        {"1.0 written as a label", "2\n1.0 -1 0\n1 1 0\n", 2, {0.0, 1}, {-1, 1}},
        {"letters end the read", "3\n0 1 2\n1 x 4\n2 5 6\n", 3, {1, 0, 0}, {2, 0, 0}},
        {"a lone sign ends the read", "3\n0 1 2\n1 - 3\n2 5 6\n", 3, {1, 0, 0}, {2, 0, 0}},
        {"unreadable count reads nothing", "two 0 1 2 1 3 4\n", 2, {0, 0}, {0, 0}},
        {"line structure does not matter", "2 0\t-1\n\n0 1\n+1.5E0 -0\n", 2, {-1, 1.5}, {0, -0.0}},
        {"points after the M-th are ignored", "2\n0 1 2\n1 3 4\n2 5 6\n3 7 8\n", 2, {1, 3}, {2, 4}},
        {"the count in the file plays no part", "9\n0 1 2\n1 3 4\n2 5 6\n", 3, {1, 3, 5}, {2, 4, 6}},
        {"M = 0 reads nothing", "2\n0 1 2\n1 3 4\n", 0, {}, {}},
        {"negative M reads nothing", "2\n0 1 2\n1 3 4\n", -3, {}, {}},
        many,
    };
    const std::string file = testing::TempDir() + "llr_reader_points.txt";
    for (const ReaderCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(file, std::ios::binary) << c.content;
        std::vector<double> pointI(300, kUntouched), pointQ(300, kUntouched);
        const size_t count = c.expectedI.size();
        std::fill(pointI.begin(), pointI.begin() + count, 0.0);
        std::fill(pointQ.begin(), pointQ.begin() + count, 0.0);
        int32_t openFailed = 0;

        ReadConstellation(pointI.data(), pointQ.data(), c.M, file.c_str(), &openFailed);

        EXPECT_EQ(openFailed, 0);
        for (size_t s = 0; s < pointI.size(); ++s) {
            ASSERT_EQ(pointI[s], s < count ? c.expectedI[s] : kUntouched) << "I of point " << s;
            ASSERT_EQ(pointQ[s], s < count ? c.expectedQ[s] : kUntouched) << "Q of point " << s;
        }
    }
    std::remove(file.c_str());
}

TEST(ConstellationReader, MissingFileSetsTheFlagAndLeavesTheArrays) {
    std::vector<double> pointI(256, kUntouched), pointQ(256, kUntouched);
    for (const char* name : {"/nonexistent/no_such_file.txt", static_cast<const char*>(nullptr)}) {
        int32_t openFailed = 0;
        ReadConstellation(pointI.data(), pointQ.data(), 4, name, &openFailed);
        EXPECT_EQ(openFailed, 1) << (name ? name : "null name");
    }
    EXPECT_EQ(pointI, std::vector<double>(256, kUntouched));
    EXPECT_EQ(pointQ, std::vector<double>(256, kUntouched));
}

}  // namespace
