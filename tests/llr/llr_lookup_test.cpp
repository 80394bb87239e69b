// Per-sample lookup: locating a sample in the grid and fetching its values.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "llr/llr_table.h"
#include "llr_test_support.h"

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The row of (x, 0.3), checked to equal the column of (0.3, x).
int32_t RowOf(double x, double L) {
    int32_t row = -1, column = -1, unused = -1;
    LocateLlrCell(x, 0.3, L, 8, &row, &unused);
    LocateLlrCell(0.3, x, L, 8, &unused, &column);
    EXPECT_EQ(column, row) << "x=" << x << " L=" << L;
    return row;
}

// Cell j holds (-L + j*w, -L + (j+1)*w], w = 2L/256, for samples moved at
// least 0.001 inside the square. With L = 1.5, w = 0.01171875 and
// -1.46484375 = -L + 3w is the upper end of cell 2; with L = 0.0015 the
// margin is a third of the square, so the edges land in cells 85 and 170.
TEST(LocateLlrCell, WorkedExamples) {
    const double cases[][3] = {  // L, x, cell
        {1.5, -1.46484375, 2}, {1.5, -1.4648, 3},     {1.5, -1.5, 0},         {1.5, -1.6, 0},
        {1.5, -1e9, 0},        {1.5, -kInf, 0},       {1.5, 1.5, 255},        {1.5, 1.51, 255},
        {1.5, 1e9, 255},       {1.5, kInf, 255},      {1.5, 0.0, 127},        {1.5, 1e-9, 128},
        {1.5, -1.48828125, 0}, {1.5, -1.488, 1},      {1.5, 1.48828125, 254}, {0.0015, 0.0014, 170},
        {0.0015, -0.0014, 85},   {0.0015, 1e-4, 136},   {0.75, 0.74, 254},      {3.0, -2.99, 0},
    };
    for (const auto& [L, x, cell] : cases) EXPECT_EQ(RowOf(x, L), cell) << "L=" << L << " x=" << x;
}

// Also for an L that the parameter checks reject; a sample that is not a
// number lands in cell 0.
TEST(LocateLlrCell, StaysInsideTheGridForAnyInput) {
    for (double L : {1.5, 0.001, 0.0, -1.0, kNan, kInf, 1e308}) {
        for (double x : {-kInf, -2.0, -1e-300, 0.0, 0.3, 2.0, kInf, kNan}) {
            const int32_t row = RowOf(x, L);
            ASSERT_TRUE(row >= 0 && row <= 255) << "L=" << L << " x=" << x << " row " << row;
        }
    }
    EXPECT_EQ(RowOf(kNan, 1.5), 0);
}

TEST(FetchSymbolLlrs, CopiesTheCellsEntriesBitZeroFirst) {
    // Entry (r, c, k) holds r * 10000 + c * 10 + k, and a fraction that the
    // truncation toward zero must drop; negative for odd k.
    for (int32_t m : {1, 3, 8}) {
        std::vector<double> table(static_cast<size_t>(m) * kTableCells);
        for (size_t i = 0; i < table.size(); ++i) {
            const int32_t r = static_cast<int32_t>(i) / (m * 256), c = static_cast<int32_t>(i) / m % 256;
            const int32_t k = static_cast<int32_t>(i) % m;
            table[i] = (k % 2 ? -1 : 1) * (r * 10000.0 + c * 10.0 + k + 0.75);
        }
        const int32_t cells[][2] = {{0, 0}, {0, 255}, {255, 0}, {255, 255}, {17, 203}};
        for (const auto& [r, c] : cells) {
            int32_t out[10];
            std::fill(out, out + 10, 12345);
            FetchSymbolLlrs(m, r, c, out, table.data());
            for (int32_t k = 0; k < 10; ++k) {
                const int32_t magnitude = r * 10000 + c * 10 + k;
                EXPECT_EQ(out[k], k >= m ? 12345 : (k % 2 ? -magnitude : magnitude))
                    << "m=" << m << " r=" << r << " c=" << c << " k=" << k;
            }
        }
    }
}

}  // namespace
