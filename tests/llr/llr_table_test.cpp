// The LLR table: its shape for two points, peak levels and the metric limit
// with the example constellations, bit-for-bit agreement with the rules for
// M <= 64, the extension to 128/256 points, the underflow fallback and the
// rejections.
#include "llr/llr_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "llr/cell_llrs.h"
#include "llr/constellation_reader.h"
#include "llr_test_support.h"

namespace {

using llr_test::Constellation;
using llr_test::EntryIndex;

Constellation ReadExample(const std::string& name, int32_t M) {
    Constellation c;
    int32_t openFailed = 0;
    const std::string path = llr_test::ExampleConstellation(name);
    ReadConstellation(c.pointI.data(), c.pointQ.data(), M, path.c_str(), &openFailed);
    EXPECT_EQ(openFailed, 0) << path;
    return c;
}

Constellation TwoPoints() {
    Constellation c;
    c.pointI[0] = -1.0;
    c.pointI[1] = 1.0;
    return c;
}

Constellation RandomPoints(int32_t M, std::mt19937& rng) {
    std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
    Constellation c;
    for (int32_t s = 0; s < M; ++s) {
        c.pointI[s] = coordinate(rng);
        c.pointQ[s] = coordinate(rng);
    }
    return c;
}

std::vector<double> Build(const Constellation& c, int32_t M, double L, double esno,
                          bool* built = nullptr) {
    std::vector<double> table(static_cast<size_t>(BitsPerSymbol(M)) * kTableCells, 0.0);
    const bool ok = BuildLlrTable(c.pointI.data(), c.pointQ.data(), table.data(), M, L, 8, esno);
    if (built != nullptr) {
        *built = ok;
    } else {
        EXPECT_TRUE(ok) << "M=" << M << " L=" << L << " esno=" << esno;
    }
    return table;
}

TEST(LlrTable, BitsPerSymbolIsTheWholeBinaryLogarithm) {
    for (int32_t M = 2; M <= 256; ++M) {
        int32_t log2 = 0;
        while ((2 << log2) <= M) ++log2;
        ASSERT_EQ(BitsPerSymbol(M), log2) << "M=" << M;
    }
    EXPECT_EQ(BitsPerSymbol(1), 0);
    EXPECT_EQ(BitsPerSymbol(0), 0);
    EXPECT_EQ(BitsPerSymbol(-4), 0);
}

TEST(LlrTable, PeakLevelAndMetricLimit) {
    EXPECT_EQ(PeakLevel(8), 60.0);
    for (int32_t M : {2, 4, 6, 7, 9, 16, 32}) EXPECT_EQ(PeakLevel(M), 30.0) << M;
    for (int32_t M : {33, 64, 128, 256}) EXPECT_EQ(PeakLevel(M), 70.0) << M;

    EXPECT_EQ(MetricFactor(32, 12.0), 12.0);
    EXPECT_EQ(MetricFactor(33, 12.0), 8.0);
    EXPECT_EQ(MetricFactor(64, 8.0), 8.0);
    EXPECT_EQ(MetricFactor(64, std::nextafter(8.0, 9.0)), 8.0);
    EXPECT_EQ(MetricFactor(64, 7.5), 7.5);
    EXPECT_EQ(MetricFactor(256, std::numeric_limits<double>::infinity()), 8.0);
}

TEST(LlrTable, ParameterChecks) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        int32_t M;
        double L;
        bool accepted;
    };
    const Case cases[] = {
        {2, 1.5, true},    {256, 1.5, true},     {6, 0.0011, true},  {1, 1.5, false},
        {0, 1.5, false},   {-2, 1.5, false},     {257, 1.5, false},  {4, 0.001, false},
        {4, 0.0, false},   {4, -1.0, false},     {4, nan, false},    {4, inf, false},
        {4, 1e308, false}, {4, 8.9e307, true},
    };
    for (const Case& c : cases) {
        const char* message = CheckLlrParameters(c.M, c.L);
        EXPECT_EQ(message == nullptr, c.accepted) << "M=" << c.M << " L=" << c.L;
        if (message != nullptr) {
            EXPECT_GT(std::string(message).size(), 10u);
        }
    }
}

// Two points at -1 and +1: the ratio is 4 * gamma * I, so every row holds one
// value up to quantisation steps, negative left of the centre line and 59 in
// the last row, whatever gamma; at esno 1e4 every cell far from I = 0
// underflows and goes through the log-sum-exp form.
TEST(LlrTable, TwoPointTableDependsOnTheRowOnly) {
    for (double L : {1.5, 1.4}) {
        const std::vector<double> reference = Build(TwoPoints(), 2, L, 1.0);
        for (double esno : {1.0, 0.25, 40.0, 1e4}) {
            SCOPED_TRACE(testing::Message() << "L=" << L << " esno=" << esno);
            const std::vector<double> table = Build(TwoPoints(), 2, L, esno);
            for (int32_t r = 0; r < 256; ++r) {
                const double first = table[EntryIndex(1, r, 0, 0)];
                for (int32_t c = 0; c < 256; ++c) {
                    const double v = table[EntryIndex(1, r, c, 0)];
                    ASSERT_TRUE(r < 128 ? v < 0.0 : v > 0.0) << "r=" << r << " c=" << c << " v=" << v;
                    ASSERT_LE(std::fabs(v - first), 2.0) << "r=" << r << " c=" << c;
                    ASSERT_LE(std::fabs(v - reference[EntryIndex(1, r, c, 0)]), 2.0)
                        << "r=" << r << " c=" << c;
                    ASSERT_EQ(std::fmod(std::fabs(v), 2.0), 1.0) << "even entry " << v;
                }
            }
            for (int32_t c = 0; c < 256; ++c) ASSERT_EQ(table[EntryIndex(1, 255, c, 0)], 59.0) << c;
        }
    }
}

// (1/P) * A * P can round to a hair above A, which the plain formula would
// turn into a peak of 2A + 1 (with L = 1.5 and esno 0.25 it does, in double
// arithmetic); the table's peak stays 2A - 1 for every esno.
TEST(LlrTable, PeakIsTwiceThePeakLevelLessOneDespiteRounding) {
    int32_t overshoots = 0;
    for (int32_t step = 1; step <= 40; ++step) {
        const double esno = 0.0625 * step;
        const std::vector<double> raw = llr_test::DesignTable(TwoPoints(), 2, 1.5, esno, true);
        const double P = *std::max_element(raw.begin(), raw.end());
        const double f = (1.0 / P) * 30.0;
        overshoots += 2.0 * std::ceil(f * P) - 1.0 == 61.0;

        const std::vector<double> table = Build(TwoPoints(), 2, 1.5, esno);
        ASSERT_EQ(*std::max_element(table.begin(), table.end()), 59.0) << "esno=" << esno;
    }
    if (llr_test::kDoublesEvaluatedAsDoubles) {
        EXPECT_GT(overshoots, 0);
    }
}

TEST(LlrTable, PeaksOfTheExampleConstellations) {
    struct Case {
        const char* file;
        int32_t M;
        double peak;
    };
    const Case cases[] = {
        {"qpsk.txt", 4, 59.0},
        {"8psk.txt", 8, 119.0},
        {"16qam.txt", 16, 59.0},
        {"64qam.txt", 64, 139.0},
    };
    for (const Case& c : cases) {
        for (double esno : {2.0, 6.0}) {
            const std::vector<double> table = Build(ReadExample(c.file, c.M), c.M, 1.5, esno);
            EXPECT_EQ(*std::max_element(table.begin(), table.end()), c.peak)
                << c.file << " esno=" << esno;
        }
    }
}

TEST(LlrTable, MetricFactorIsLimitedAboveThirtyTwoPoints) {
    const Constellation qam64 = ReadExample("64qam.txt", 64);
    const std::vector<double> at8 = Build(qam64, 64, 1.5, 8.0);
    EXPECT_TRUE(Build(qam64, 64, 1.5, 12.0) == at8);
    EXPECT_TRUE(Build(qam64, 64, 1.5, std::numeric_limits<double>::infinity()) == at8);
    EXPECT_FALSE(Build(qam64, 64, 1.5, 7.0) == at8);

    std::mt19937 rng(llr_test::TestSeed());
    const Constellation points32 = RandomPoints(32, rng);
    EXPECT_FALSE(Build(points32, 32, 1.5, 12.0) == Build(points32, 32, 1.5, 8.0))
        << "seed=" << llr_test::TestSeed();
}

// For M <= 64 the sums over all points and bits are the sums of the rules,
// bit for bit, as long as no cell underflows.
TEST(LlrTable, AgreesWithTheRulesUpToSixtyFourPoints) {
    const uint32_t seed = llr_test::TestSeed();
    std::mt19937 rng(seed);
    struct Case {
        int32_t M;
        double L;
        double esno;
    };
    const Case cases[] = {{2, 1.5, 3.0},  {3, 1.2, 5.0},  {4, 1.5, 0.7},  {6, 2.0, 4.0},
                          {8, 1.5, 10.0}, {13, 1.5, 2.0}, {16, 1.0, 6.0}, {32, 1.5, 12.0},
                          {64, 1.5, 12.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "seed=" << seed << " M=" << c.M << " L=" << c.L
                                        << " esno=" << c.esno);
        const Constellation points = RandomPoints(c.M, rng);
        const std::vector<double> expected = llr_test::DesignTable(points, c.M, c.L, c.esno);
        const std::vector<double> table = Build(points, c.M, c.L, c.esno);
        ASSERT_EQ(table.size(), expected.size());
        size_t differing = 0;
        for (size_t i = 0; i < table.size(); ++i) {
            if (table[i] == expected[i]) continue;
            ++differing;
            // Off by one quantisation step at most, where excess precision
            // moved an entry across a step.
            ASSERT_FALSE(llr_test::kDoublesEvaluatedAsDoubles) << "entry " << i;
            ASSERT_EQ(std::fabs(table[i] - expected[i]), 2.0) << "entry " << i;
        }
        EXPECT_LE(differing, table.size() / 1000);

        // Before quantisation too, where a cell centre one unit in the last
        // place off would show.
        const int32_t m = BitsPerSymbol(c.M);
        const std::vector<double> raw = llr_test::DesignTable(points, c.M, c.L, c.esno, true);
        double llrs[8];
        for (int32_t r = 0; r < 256; ++r) {
            for (int32_t col = r % 3; col < 256; col += 3) {
                ComputeCellLlrs(GridCellCentre(r, c.L), GridCellCentre(col, c.L),
                                points.pointI.data(), points.pointQ.data(), c.M, m,
                                MetricFactor(c.M, c.esno), llrs);
                for (int32_t k = 0; k < m; ++k) {
                    const double expectedRaw = raw[EntryIndex(m, r, col, k)];
                    if (llr_test::kDoublesEvaluatedAsDoubles) {
                        ASSERT_EQ(llrs[k], expectedRaw) << "r=" << r << " c=" << col << " k=" << k;
                    } else {
                        ASSERT_NEAR(llrs[k], expectedRaw, 1e-12 * std::fabs(expectedRaw) + 1e-12)
                            << "r=" << r << " c=" << col << " k=" << k;
                    }
                }
            }
        }
    }
    const Constellation qam16 = ReadExample("16qam.txt", 16);
    EXPECT_TRUE(Build(qam16, 16, 1.5, 4.0) == llr_test::DesignTable(qam16, 16, 1.5, 4.0));
}

// M = 6: points 4 and 5 enter bits 0 and 1 by the bits of 4 (00) and 5 (01).
TEST(LlrTable, SixPointsUseTwoBitsAndAllSixPoints) {
    const double pi = std::acos(-1.0);
    Constellation hexagon;
    for (int32_t s = 0; s < 6; ++s) {
        hexagon.pointI[s] = std::cos(s * pi / 3.0);
        hexagon.pointQ[s] = std::sin(s * pi / 3.0);
    }
    ASSERT_EQ(BitsPerSymbol(6), 2);
    const std::vector<double> table = Build(hexagon, 6, 1.5, 8.0);
    ASSERT_EQ(table.size(), 2u * kTableCells);
    for (int32_t s = 0; s < 6; ++s) {
        int32_t row = 0, column = 0;
        LocateLlrCell(hexagon.pointI[s], hexagon.pointQ[s], 1.5, 8, &row, &column);
        int32_t llrs[2] = {};
        FetchSymbolLlrs(2, row, column, llrs, table.data());
        for (int32_t k = 0; k < 2; ++k) {
            EXPECT_EQ(llrs[k] > 0, ((s >> k) & 1) == 1) << "point " << s << " bit " << k;
        }
    }
}

// 256 points: with the 256-QAM example at unit energy (gamma limited to 8)
// bits 6 and 7 take values of both signs and real size (the sums of the
// rules left them at -1 everywhere); spread four times wider, where
// neighbours stand e^-3 apart in metric, every bit of every point's own cell
// says that point's label, bits 6 and 7 included.
TEST(LlrTable, TwoHundredFiftySixPointsGetRatiosOnEveryBit) {
    Constellation qam256 = ReadExample("256qam.txt", 256);
    const std::vector<double> table = Build(qam256, 256, 1.5, 8.0);
    ASSERT_EQ(table.size(), 8u * kTableCells);
    for (int32_t k : {6, 7}) {
        double low = 0.0, high = 0.0;
        for (int32_t i = k; i < 8 * kTableCells; i += 8) {
            low = std::min(low, table[i]);
            high = std::max(high, table[i]);
        }
        EXPECT_LE(low, -25.0) << "bit " << k;
        EXPECT_GE(high, 25.0) << "bit " << k;
    }

    for (int32_t s = 0; s < 256; ++s) {
        qam256.pointI[s] *= 4.0;
        qam256.pointQ[s] *= 4.0;
    }
    const double L = 6.0;
    const std::vector<double> wide = Build(qam256, 256, L, 8.0);
    for (int32_t s = 0; s < 256; ++s) {
        int32_t row = 0, column = 0;
        LocateLlrCell(qam256.pointI[s], qam256.pointQ[s], L, 8, &row, &column);
        int32_t llrs[8] = {};
        FetchSymbolLlrs(8, row, column, llrs, wide.data());
        for (int32_t k = 0; k < 8; ++k) {
            ASSERT_EQ(llrs[k] > 0, ((s >> k) & 1) == 1) << "point " << s << " bit " << k;
        }
    }
}

// Raw ratios: where the quotient of the sums has a finite logarithm it is
// kept exactly; elsewhere the log-sum-exp value is finite and agrees with the
// closed form. Two points at -1 and +1 give 4 * gamma * I; a far point at
// (30, 0) against one at (-1, 0) gives gamma * (d0^2 - d1^2).
TEST(CellLlrs, UnderflowFallsBackToLogSumExp) {
    struct Case {
        double farI;
        double esno;
    };
    const Case cases[] = {{1.0, 200.0}, {1.0, 1e6}, {30.0, 5.0}, {30.0, 1e3}};
    const double L = 1.5;
    for (const Case& c : cases) {
        Constellation points = TwoPoints();
        points.pointI[1] = c.farI;
        const std::vector<double> plain = llr_test::DesignTable(points, 2, L, c.esno, true);
        int32_t fallbacks = 0;
        for (int32_t r = 0; r < 256; r += 3) {
            for (int32_t col = 0; col < 256; col += 5) {
                SCOPED_TRACE(testing::Message() << "far I=" << c.farI << " esno=" << c.esno
                                                << " r=" << r << " c=" << col);
                const double I = GridCellCentre(r, L);
                const double Q = GridCellCentre(col, L);
                double llr = 0.0;
                ComputeCellLlrs(I, Q, points.pointI.data(), points.pointQ.data(), 2, 1, c.esno,
                                &llr);
                ASSERT_TRUE(std::isfinite(llr));
                const double expected = plain[EntryIndex(1, r, col, 0)];
                if (std::isfinite(expected)) {
                    ASSERT_EQ(llr, expected);
                    continue;
                }
                ++fallbacks;
                const double d0 = (I + 1.0) * (I + 1.0) + Q * Q;
                const double d1 = (I - c.farI) * (I - c.farI) + Q * Q;
                const double closedForm = c.esno * (d0 - d1);
                ASSERT_NEAR(llr, closedForm, 1e-9 * std::fabs(closedForm));
            }
        }
        EXPECT_GT(fallbacks, 0) << "far I=" << c.farI << " esno=" << c.esno;
    }
}

TEST(LlrTable, RejectsWhatCannotMakeATable) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Constellation two = TwoPoints();
    std::vector<double> table(2 * kTableCells, 5.0);
    struct Case {
        const char* what;
        int32_t M;
        double L;
        int32_t gridBits;
        double esno;
    };
    // Each leaves the table as it was.
    const Case untouched[] = {
        {"M too small", 1, 1.5, 8, 2.0},   {"M too large", 257, 1.5, 8, 2.0},
        {"L too small", 2, 0.001, 8, 2.0}, {"L not a number", 2, nan, 8, 2.0},
        {"grid bits", 2, 1.5, 7, 2.0},     {"esno not a number", 2, 1.5, 8, nan},
        {"esno infinite", 2, 1.5, 8, std::numeric_limits<double>::infinity()},
    };
    for (const Case& c : untouched) {
        EXPECT_FALSE(BuildLlrTable(two.pointI.data(), two.pointQ.data(), table.data(), c.M, c.L,
                                   c.gridBits, c.esno))
            << c.what;
        EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](double v) { return v == 5.0; }))
            << c.what;
    }

    bool built = true;
    Constellation same;  // both points at the origin: every ratio is 0
    Build(same, 2, 1.5, 2.0, &built);
    EXPECT_FALSE(built) << "zero peak";

    Constellation far = TwoPoints();  // point 0 is nearer everywhere: all ratios negative
    far.pointI[1] = 30.0;
    Build(far, 2, 1.5, 5.0, &built);
    EXPECT_FALSE(built) << "negative peak";

    Constellation broken = TwoPoints();
    broken.pointQ[1] = nan;
    Build(broken, 2, 1.5, 2.0, &built);
    EXPECT_FALSE(built) << "coordinate not a number";

    Build(TwoPoints(), 2, 1.5, 0.0, &built);
    EXPECT_FALSE(built) << "esno 0 gives ratio 0 everywhere";
}

// A peak far smaller than the most negative entry scales that entry past the
// 32-bit range; it saturates at the largest odd value instead.
TEST(LlrTable, EntriesBeyondThirtyTwoBitsSaturate) {
    const double L = 1.5;
    const double lastCentre = GridCellCentre(255, L);
    Constellation points = TwoPoints();
    // The bisector of the two points sits 1e-9 left of the last row's centre.
    points.pointI[1] = 2.0 * (lastCentre - 1e-9) + 1.0;
    const std::vector<double> table = Build(points, 2, L, 1.0);
    for (int32_t c = 0; c < 256; ++c) {
        ASSERT_EQ(table[EntryIndex(1, 255, c, 0)], 59.0) << c;
        ASSERT_EQ(table[EntryIndex(1, 0, c, 0)], -2147483647.0) << c;
    }
    int32_t llr = 0;
    FetchSymbolLlrs(1, 0, 17, &llr, table.data());
    EXPECT_EQ(llr, -2147483647);
}

}  // namespace
