// The LLR table: bits per symbol, bit-for-bit agreement with the rules for
// M <= 64, the peak cap, the extension to 256 points, the underflow
// fallback, saturation and the rejections.
#include "llr/llr_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <iterator>
#include <random>
#include <vector>

#include "llr/cell_llrs.h"
#include "llr_test_support.h"

namespace {

using llr_test::Constellation;
using llr_test::EntryIndex;

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

Constellation TwoPoints(double secondI = 1.0) {
    Constellation c;
    c.pointI[0] = -1.0;
    c.pointI[1] = secondI;
    return c;
}

// Builds the table; *built receives the result, else a failed build fails the test.
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

// Peak levels and the metric limit are covered by the comparison with the
// rules below, whose sizes straddle their boundaries (8, 32, 64).
TEST(LlrTable, BitsPerSymbolIsTheWholeBinaryLogarithm) {
    for (int32_t M = 2; M <= 256; ++M) {
        int32_t log2 = 0;
        while ((2 << log2) <= M) ++log2;
        ASSERT_EQ(BitsPerSymbol(M), log2) << "M=" << M;
    }
    for (int32_t M : {1, 0, -4}) EXPECT_EQ(BitsPerSymbol(M), 0) << M;
}

// (1/P) * A * P can round to a hair above A, which the plain formula would
// turn into a peak of 2A + 1 (with L = 1.5 and esno 0.25 it does, in double
// arithmetic); the table's peak stays 2A - 1 for every esno.
TEST(LlrTable, PeakIsTwiceThePeakLevelLessOneDespiteRounding) {
    int32_t overshoots = 0;
    for (int32_t step = 1; step <= 12; ++step) {
        const double esno = 0.0625 * step;
        const std::vector<double> raw = llr_test::ReferenceTable(TwoPoints(), 2, 1.5, esno, true);
        const double P = *std::max_element(raw.begin(), raw.end());
        overshoots += 2.0 * std::ceil((1.0 / P) * 30.0 * P) - 1.0 == 61.0;
        const std::vector<double> table = Build(TwoPoints(), 2, 1.5, esno);
        ASSERT_EQ(*std::max_element(table.begin(), table.end()), 59.0) << "esno=" << esno;
    }
    if (llr_test::kDoublesEvaluatedAsDoubles) {
        EXPECT_GT(overshoots, 0);
    }
}

// Above 32 points gamma is limited to 8 before esno is judged finite.
TEST(LlrTable, MetricLimitComesBeforeTheFinitenessCheck) {
    const Constellation qam64 = llr_test::ReadExample("64qam.txt", 64);
    EXPECT_TRUE(Build(qam64, 64, 1.5, kInf) == Build(qam64, 64, 1.5, 8.0));
}

// For M <= 64 the sums over all points and bits are the sums of the rules,
// bit for bit, as long as no cell underflows; M = 3, 6, 13 include points
// beyond 2^m, which enter the sums by the low bits of their labels.
TEST(LlrTable, AgreesWithTheRulesUpToSixtyFourPoints) {
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
    struct Case {
        int32_t M;
        double L;
        double esno;
    };
    // The boundaries of the peak level and the metric limit first: under
    // emulation only they run.
    const Case cases[] = {{64, 1.5, 12.0}, {32, 1.5, 12.0}, {8, 1.5, 10.0},
                          {2, 1.5, 3.0},   {3, 1.2, 5.0},   {4, 1.5, 0.7},
                          {6, 2.0, 4.0},   {13, 1.5, 2.0},  {16, 1.0, 6.0}};
    for (int32_t i = 0; i < std::max(3, RandomTrials(9)); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(testing::Message() << "seed=" << seed << " M=" << c.M << " L=" << c.L
                                        << " esno=" << c.esno);
        Constellation points;
        for (int32_t s = 0; s < c.M; ++s) {
            points.pointI[s] = coordinate(rng);
            points.pointQ[s] = coordinate(rng);
        }
        const std::vector<double> expected = llr_test::ReferenceTable(points, c.M, c.L, c.esno);
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
        const std::vector<double> raw = llr_test::ReferenceTable(points, c.M, c.L, c.esno, true);
        double llrs[8];
        for (int32_t r = 0; r < 256; ++r) {
            for (int32_t col = r % 3; col < 256; col += 3) {
                ComputeCellLlrs(GridCellCentre(r, c.L), GridCellCentre(col, c.L),
                                points.pointI.data(), points.pointQ.data(), c.M, m,
                                MetricFactor(c.M, c.esno), llrs);
                for (int32_t k = 0; k < m; ++k) {
                    const double want = raw[EntryIndex(m, r, col, k)];
                    const double tolerance =
                        llr_test::kDoublesEvaluatedAsDoubles ? 0.0 : 1e-12 * std::fabs(want) + 1e-12;
                    ASSERT_NEAR(llrs[k], want, tolerance) << "r=" << r << " c=" << col << " k=" << k;
                }
            }
        }
    }
}

// 256 points: the 256-QAM example spread four times wider (neighbours stand
// e^-3 apart in metric): every bit of every point's own cell says that
// point's label, bits 6 and 7 included, which the sums of the rules leave out.
TEST(LlrTable, TwoHundredFiftySixPointsGetRatiosOnEveryBit) {
    Constellation qam256 = llr_test::ReadExample("256qam.txt", 256);
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
    const double cases[][2] = {{1.0, 200.0}, {1.0, 1e6}, {30.0, 5.0}, {30.0, 1e3}};  // far I, esno
    const double L = 1.5;
    for (const auto& [farI, esno] : cases) {
        const Constellation points = TwoPoints(farI);
        const std::vector<double> plain = llr_test::ReferenceTable(points, 2, L, esno, true);
        int32_t fallbacks = 0;
        for (int32_t r = 0; r < 256; r += 3) {
            for (int32_t col = 0; col < 256; col += 5) {
                SCOPED_TRACE(testing::Message() << "far I=" << farI << " esno=" << esno
                                                << " r=" << r << " c=" << col);
                const double I = GridCellCentre(r, L);
                const double Q = GridCellCentre(col, L);
                double llr = 0.0;
                ComputeCellLlrs(I, Q, points.pointI.data(), points.pointQ.data(), 2, 1, esno, &llr);
                ASSERT_TRUE(std::isfinite(llr));
                const double expected = plain[EntryIndex(1, r, col, 0)];
                if (std::isfinite(expected)) {
                    ASSERT_EQ(llr, expected);
                    continue;
                }
                ++fallbacks;
                const double closedForm =
                    esno * ((I + 1.0) * (I + 1.0) - (I - farI) * (I - farI));
                ASSERT_NEAR(llr, closedForm, 1e-9 * std::fabs(closedForm));
            }
        }
        EXPECT_GT(fallbacks, 0) << "far I=" << farI << " esno=" << esno;
    }
}

// The first nine leave the table as it was.
TEST(LlrTable, RejectsWhatCannotMakeATable) {
    const Constellation two = TwoPoints();
    Constellation broken = TwoPoints(), infinite = TwoPoints();
    broken.pointQ[1] = kNan;
    infinite.pointI[0] = -kInf;  // every ratio +inf
    const struct {
        const char* what;
        Constellation points;
        int32_t M, gridBits;
        double L, esno;
    } cases[] = {
        {"M too small", two, 1, 8, 1.5, 2.0},          {"M too large", two, 257, 8, 1.5, 2.0},
        {"L too small", two, 2, 8, 0.001, 2.0},        {"L not a number", two, 2, 8, kNan, 2.0},
        {"L infinite", two, 2, 8, kInf, 2.0},          {"2L overflows", two, 2, 8, 1e308, 2.0},
        {"grid bits", two, 2, 7, 1.5, 2.0},            {"esno not a number", two, 2, 8, 1.5, kNan},
        {"esno infinite", two, 2, 8, 1.5, kInf},       {"esno 0: ratio 0 everywhere", two, 2, 8, 1.5, 0.0},
        {"coordinate not a number", broken, 2, 8, 1.5, 2.0},
        {"coordinate infinite", infinite, 2, 8, 1.5, 2.0},
        {"both points at the origin: zero peak", Constellation(), 2, 8, 1.5, 2.0},
        {"point 0 nearer everywhere: negative peak", TwoPoints(30.0), 2, 8, 1.5, 5.0},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        std::vector<double> table(2 * kTableCells, 5.0);
        EXPECT_FALSE(BuildLlrTable(c.points.pointI.data(), c.points.pointQ.data(), table.data(), c.M,
                                   c.L, c.gridBits, c.esno))
            << c.what;
        if (i < 9) {
            EXPECT_EQ(std::count(table.begin(), table.end(), 5.0), 2 * kTableCells) << c.what;
        }
    }
}

// A peak far smaller than the most negative entry scales that entry past the
// 32-bit range; it saturates at the largest odd value instead.
TEST(LlrTable, EntriesBeyondThirtyTwoBitsSaturate) {
    const double L = 1.5;
    // The bisector of the two points sits 1e-9 left of the last row's centre.
    const std::vector<double> table =
        Build(TwoPoints(2.0 * (GridCellCentre(255, L) - 1e-9) + 1.0), 2, L, 1.0);
    for (int32_t c = 0; c < 256; ++c) {
        ASSERT_EQ(table[EntryIndex(1, 255, c, 0)], 59.0) << c;
        ASSERT_EQ(table[EntryIndex(1, 0, c, 0)], -2147483647.0) << c;
    }
    int32_t llr = 0;
    FetchSymbolLlrs(1, 0, 17, &llr, table.data());
    EXPECT_EQ(llr, -2147483647);
}

}  // namespace
