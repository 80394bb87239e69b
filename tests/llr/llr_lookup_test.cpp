// Per-sample lookup: locating a sample in the grid and fetching its values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "llr/llr_table.h"
#include "llr_test_support.h"

namespace {

int32_t RowOf(double I, double L) {
    int32_t row = -1, column = -1;
    LocateLlrCell(I, 0.0, L, 8, &row, &column);
    return row;
}

int32_t ColumnOf(double Q, double L) {
    int32_t row = -1, column = -1;
    LocateLlrCell(0.0, Q, L, 8, &row, &column);
    return column;
}

TEST(LocateLlrCell, WorkedExamplesWithLimitOneAndAHalf) {
    // w = 3/256 = 0.01171875; -1.46484375 = -L + 3w is the upper end of cell 2.
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double x;
        int32_t cell;
    };
    const Case cases[] = {
        {-1.46484375, 2}, {-1.4648, 3}, {-1.5, 0},      {-1.6, 0},      {-1e9, 0},
        {-inf, 0},        {1.5, 255},   {1.51, 255},    {1e9, 255},     {inf, 255},
        {0.0, 127},       {1e-9, 128},  {-1.48828125, 0}, {-1.488, 1},  {1.48828125, 254},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RowOf(c.x, 1.5), c.cell) << "I=" << c.x;
        EXPECT_EQ(ColumnOf(c.x, 1.5), c.cell) << "Q=" << c.x;
    }
}

// Each cell j is (-L + j*w, -L + (j+1)*w]; samples within 0.001 of the
// square's edges count as lying 0.001 inside them. Every cell centre and
// random samples, away from cell boundaries, land in the cell whose interval
// holds them.
TEST(LocateLlrCell, FindsTheCellWhoseIntervalHoldsTheSample) {
    const uint32_t seed = llr_test::TestSeed();
    std::mt19937 rng(seed);
    for (double L : {1.5, 1.4, 0.75, 3.0, 0.0015}) {
        SCOPED_TRACE(testing::Message() << "seed=" << seed << " L=" << L);
        const double w = 2.0 * L / 256.0;
        std::vector<double> samples;
        for (int32_t j = 0; j < 256; ++j) samples.push_back(GridCellCentre(j, L));
        std::uniform_real_distribution<double> sample(-1.2 * L, 1.2 * L);
        for (int32_t trial = 0; trial < 20000; ++trial) samples.push_back(sample(rng));
        int32_t checked = 0;
        for (double x : samples) {
            const double inside = std::min(std::max(x, -L + 0.001), L - 0.001);
            const double position = (inside + L) / w;  // cell j holds (j, j + 1]
            if (std::fabs(position - std::round(position)) < 1e-6) continue;
            const int32_t row = RowOf(x, L);
            ASSERT_LT(-L + row * w, inside) << "x=" << x << " row " << row;
            ASSERT_GE(-L + (row + 1) * w, inside) << "x=" << x << " row " << row;
            ASSERT_EQ(ColumnOf(x, L), row) << "x=" << x;
            ++checked;
        }
        EXPECT_GT(checked, 20000);
    }
}

TEST(LocateLlrCell, StaysInsideTheGridForAnyInput) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double L : {1.5, 0.001, 0.0, -1.0, nan, inf, 1e308}) {
        for (double x : {-inf, -2.0, -1e-300, 0.0, 0.3, 2.0, inf, nan}) {
            int32_t row = -1, column = -1;
            LocateLlrCell(x, -x, L, 8, &row, &column);
            ASSERT_GE(row, 0) << "L=" << L << " x=" << x;
            ASSERT_LE(row, 255) << "L=" << L << " x=" << x;
            ASSERT_GE(column, 0) << "L=" << L << " x=" << x;
            ASSERT_LE(column, 255) << "L=" << L << " x=" << x;
        }
    }
    int32_t row = -1, column = -1;
    LocateLlrCell(nan, nan, 1.5, 8, &row, &column);
    EXPECT_EQ(row, 0);
    EXPECT_EQ(column, 0);
}

TEST(FetchSymbolLlrs, CopiesTheCellsEntriesBitZeroFirst) {
    // Entry (r, c, k) holds r * 10000 + c * 10 + k, and a fraction that the
    // truncation toward zero must drop; negative for odd k.
    for (int32_t m : {1, 3, 8}) {
        std::vector<double> table(static_cast<size_t>(m) * kTableCells);
        for (int32_t r = 0; r < 256; ++r) {
            for (int32_t c = 0; c < 256; ++c) {
                for (int32_t k = 0; k < m; ++k) {
                    const double v = r * 10000.0 + c * 10.0 + k + 0.75;
                    table[llr_test::EntryIndex(m, r, c, k)] = (k % 2) ? -v : v;
                }
            }
        }
        const int32_t cells[][2] = {{0, 0}, {0, 255}, {255, 0}, {255, 255}, {17, 203}};
        for (const auto& cell : cells) {
            int32_t out[10];
            std::fill(out, out + 10, 12345);
            FetchSymbolLlrs(m, cell[0], cell[1], out, table.data());
            for (int32_t k = 0; k < m; ++k) {
                const int32_t magnitude = cell[0] * 10000 + cell[1] * 10 + k;
                EXPECT_EQ(out[k], (k % 2) ? -magnitude : magnitude)
                    << "m=" << m << " r=" << cell[0] << " c=" << cell[1] << " k=" << k;
            }
            for (int32_t k = m; k < 10; ++k) EXPECT_EQ(out[k], 12345) << "written past m at " << k;
        }
    }
}

}  // namespace
