// The LLR calculator's algorithms: reading constellation files, the table against its rules,
// the underflow fallback, the rejections, locating and fetching a sample's values. Under
// emulation, where exp and log are slow, no test builds more than two tables.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "llr/cell_llrs.h"
#include "llr/constellation_reader.h"
#include "llr/llr_table.h"
#include "trial_count.h"

using namespace tpc;

namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN(), kInf = std::numeric_limits<double>::infinity();
// x87 arithmetic (x86 without SSE math) keeps doubles in 80-bit registers where the compiler
// chooses, so two compilations of one formula can differ in the last bits.
constexpr bool kExactDoubles = FLT_EVAL_METHOD == 0;

struct Constellation { std::vector<double> pointI = std::vector<double>(256), pointQ = std::vector<double>(256); };

Constellation TwoPoints(double secondI = 1.0) {
    Constellation c;
    c.pointI[0] = -1.0, c.pointI[1] = secondI;
    return c;
}

size_t EntryIndex(int32_t m, int32_t r, int32_t c, int32_t k) { return static_cast<size_t>((m * 256) * r + m * c + k); }

// The table as the rules state it: sums over indices 0 ... 63 and bits 0 ... min(m, 6) - 1, no underflow handling,
// scaled to the peak level A. Our one departure from the plain formula: f * P can round to a hair above A, which
// would make the peak 2A + 1 instead of 2A - 1.
std::vector<double> RuleTable(const Constellation& c, int32_t M, double L, double esno) {
    const int32_t m = static_cast<int32_t>(std::log10(static_cast<double>(M)) * 3.322);
    const double A = M == 8 ? 60.0 : (M <= 32 ? 30.0 : 70.0), gamma = (M > 32 && esno > 8.0) ? 8.0 : esno;
    std::vector<double> table(static_cast<size_t>(m) * 65536, 0.0);
    double mu[256] = {};
    for (int32_t r = 0; r < 256; ++r) {
        for (int32_t col = 0; col < 256; ++col) {
            const double I = -L + L / 256.0 + r * (2.0 * L / 256.0), Q = -L + L / 256.0 + col * (2.0 * L / 256.0);
            for (int32_t s = 0; s < M; ++s)
                mu[s] = std::exp(-((I - c.pointI[s]) * (I - c.pointI[s]) + (Q - c.pointQ[s]) * (Q - c.pointQ[s])) *
                                 gamma);
            for (int32_t k = 0; k < std::min(m, 6); ++k) {
                double N = 0.0, D = 0.0;
                for (int32_t s = 0; s < 64; ++s) ((s >> k) & 1 ? N : D) += mu[s];
                table[EntryIndex(m, r, col, k)] = std::log(N / D);
            }
        }
    }
    const double f = (1.0 / *std::max_element(table.begin(), table.end())) * A;
    for (double& v : table) v = 2.0 * std::ceil(std::min(f * v, A)) - 1.0;
    return table;
}

std::vector<double> Build(const Constellation& c, int32_t M, double L, double esno) {
    std::vector<double> table(static_cast<size_t>(BitsPerSymbol(M)) * kTableCells, 0.0);
    EXPECT_TRUE(BuildLlrTable(c.pointI.data(), c.pointQ.data(), table.data(), M, L, 8, esno).ok()) << M << " " << esno;
    return table;
}

TEST(ConstellationReader, ReadsPointsByPositionAndStopsAtTheFirstFailedScan) {
    // I, Q: the entries the reader may write, zero-filled before; whole: the points it reports, where checked.
    struct Case { const char* what; std::string content; int32_t M; std::vector<double> I, Q; int32_t whole = -1; };
    Case many{"M beyond the arrays", "300\n", 300, {}, {}, 256};  // points "s s+1 -s": 256 fit
    for (int s = 0; s < 300; ++s)
        many.content += std::to_string(s) + " " + std::to_string(s + 1) + " " + std::to_string(-s) + "\n";
    for (int s = 0; s < 256; ++s) many.I.push_back(s + 1.0), many.Q.push_back(-s);
    const std::vector<Case> cases = {
        {"well formed", "4\n0 -1 -1\n1 1 -1\n2 -1 1\n3 1 1\n", 4, {-1, 1, -1, 1}, {-1, -1, 1, 1}},
        {"labels out of order are ignored", "4\n3 0.5 0.25\n1 -2 3\n0 4e-1 -5\n2 6 .5\n", 4, {0.5, -2, 0.4, 6},
         {0.25, 3, -5, 0.5}},
        {"only M - 1 complete points", "4 0 1 2 1 3 4 2 5 6\n", 4, {1, 3, 5, 0}, {2, 4, 6, 0}, 3},
        {"file ends inside a point", "3\n0 1 2\n1 3 4\n2 5", 3, {1, 3, 5}, {2, 4, 0}, 2},
        // "%d" takes the 1 of 1.0; ".0" becomes the I coordinate and every later number moves up.
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
    for (const Case& c : cases) {
        std::ofstream(file, std::ios::binary) << c.content;
        std::vector<double> pointI(300, 7.25);  // 7.25: untouched
        std::fill_n(pointI.begin(), c.I.size(), 0.0);
        std::vector<double> pointQ = pointI, wantI = pointI, wantQ = pointI;
        std::copy(c.I.begin(), c.I.end(), wantI.begin());
        std::copy(c.Q.begin(), c.Q.end(), wantQ.begin());
        int32_t openFailed = 0;
        const int32_t whole = ReadConstellation(pointI.data(), pointQ.data(), c.M, file.c_str(), &openFailed);
        EXPECT_EQ(openFailed, 0) << c.what;
        EXPECT_TRUE(c.whole < 0 || whole == c.whole) << c.what << ": " << whole << " whole points";
        EXPECT_TRUE(pointI == wantI && pointQ == wantQ) << c.what;
    }
    std::remove(file.c_str());
    for (const char* name : {"/nonexistent/no_such_file.txt", static_cast<const char*>(nullptr)}) {
        std::vector<double> point(4, 7.25);
        int32_t openFailed = 0;
        ReadConstellation(point.data(), point.data(), 4, name, &openFailed);
        EXPECT_EQ(openFailed, 1) << (name ? name : "null name");
        EXPECT_EQ(point, std::vector<double>(4, 7.25));
    }
}

// The reader's buffer grows with the file up to kMaxConstellationFileBytes: the points after leading blanks of
// any length up to the limit are read whole; one byte more refuses the file and leaves the arrays alone.
TEST(ConstellationReader, ReadsFilesUpToTheLimitAndRefusesLonger) {
    const std::string points = "2\n0 1 2\n1 3 4\n";
    const size_t limit = kMaxConstellationFileBytes;
    const std::string file = testing::TempDir() + "llr_reader_length.txt";
    for (const size_t length : {points.size(), size_t{4096}, size_t{4097}, size_t{8193}, limit - 1, limit, limit + 1}) {
        std::ofstream(file, std::ios::binary) << std::string(length - points.size(), ' ') << points;
        std::vector<double> pointI(2, 7.25), pointQ(2, 7.25);
        int32_t openFailed = 0;
        const int32_t whole = ReadConstellation(pointI.data(), pointQ.data(), 2, file.c_str(), &openFailed);
        const bool tooLong = length > limit;
        EXPECT_EQ(openFailed, tooLong ? kConstellationFileTooLong : 0) << length << " bytes";
        EXPECT_EQ(whole, tooLong ? 0 : 2) << length << " bytes";
        const std::vector<double> untouched(2, 7.25), wantI{1, 3}, wantQ{2, 4};
        EXPECT_EQ(pointI, tooLong ? untouched : wantI) << length << " bytes";
        EXPECT_EQ(pointQ, tooLong ? untouched : wantQ) << length << " bytes";
    }
    std::remove(file.c_str());
}

// The row of (x, 0.3), checked to equal the column of (0.3, x).
int32_t RowOf(double x, double L) {
    int32_t row = -1, column = -1, unused = -1;
    LocateLlrCell(x, 0.3, L, 8, &row, &unused);
    LocateLlrCell(0.3, x, L, 8, &unused, &column);
    EXPECT_EQ(column, row) << "x=" << x << " L=" << L;
    return row;
}

// Cell j holds (-L + j*w, -L + (j+1)*w], w = 2L/256, for samples moved at least 0.001 inside the square.
// With L = 1.5, w = 0.01171875 and -1.46484375 = -L + 3w is the upper end of cell 2; with L = 0.0015 the margin
// is a third of the square, so the edges land in cells 85 and 170. Any sample, and any L (even one the parameter
// checks reject), stays inside.
TEST(LocateLlrCell, WorkedCellsAndNeverOutsideTheGrid) {
    const double cases[][3] = {  // L, x, cell
        {1.5, -1.46484375, 2}, {1.5, -1.4648, 3}, {1.5, -1.5, 0},        {1.5, -1.6, 0},   {1.5, -1e9, 0},
        {1.5, -kInf, 0},       {1.5, 1.5, 255},   {1.5, 1.51, 255},      {1.5, 1e9, 255},  {1.5, kInf, 255},
        {1.5, 0.0, 127},       {1.5, 1e-9, 128},  {1.5, -1.48828125, 0}, {1.5, -1.488, 1}, {1.5, kNan, 0},
        {1.5, 1.48828125, 254}, {0.0015, 0.0014, 170}, {0.0015, -0.0014, 85}, {0.0015, 1e-4, 136},
        {0.75, 0.74, 254},     {3.0, -2.99, 0},
    };
    for (const auto& [L, x, cell] : cases) EXPECT_EQ(RowOf(x, L), cell) << "L=" << L << " x=" << x;
    for (double L : {1.5, 0.001, 0.0, -1.0, kNan, kInf, 1e308}) {
        for (double x : {-kInf, -2.0, -1e-300, 0.0, 0.3, 2.0, kInf, kNan}) {
            const int32_t row = RowOf(x, L);
            ASSERT_TRUE(row >= 0 && row <= 255) << "L=" << L << " x=" << x << " row " << row;
        }
    }
}

// Entry (r, c, k) holds +-(r * 10000 + c * 10 + k), negative for odd k, plus
// a fraction that the truncation toward zero must drop.
TEST(FetchSymbolLlrs, CopiesTheCellsEntriesBitZeroFirst) {
    const int32_t cells[][2] = {{0, 0}, {0, 255}, {255, 0}, {255, 255}, {17, 203}};
    const auto value = [](int32_t r, int32_t c, int32_t k) { return (k % 2 ? -1 : 1) * (r * 10000 + c * 10 + k); };
    for (int32_t m : {1, 3, 8}) {
        std::vector<double> table(static_cast<size_t>(m) * kTableCells, 0.0);
        for (const auto& [r, c] : cells)
            for (int32_t k = 0; k < m; ++k) table[EntryIndex(m, r, c, k)] = value(r, c, k) + (k % 2 ? -0.75 : 0.75);
        for (const auto& [r, c] : cells) {
            std::vector<int32_t> out(10, 12345), want(10, 12345);  // nothing past m written
            for (int32_t k = 0; k < m; ++k) want[k] = value(r, c, k);
            FetchSymbolLlrs(m, r, c, out.data(), table.data());
            EXPECT_EQ(out, want) << "m=" << m << " r=" << r << " c=" << c;
        }
    }
}

// 3.322 instead of log2(10) must not round any power of two down.
TEST(LlrTable, BitsPerSymbolIsTheWholeBinaryLogarithm) {
    for (int32_t M = -4; M <= 256; ++M) ASSERT_EQ(BitsPerSymbol(M), M < 2 ? 0 : int32_t(std::floor(std::log2(M)))) << M;
}

// For M <= 64 the table is the rules' bit for bit as long as no cell underflows. The sizes straddle the peak levels'
// and the metric limit's boundaries (8, 32, 64), and with 64 points an infinite esno is limited to 8 before it is
// judged finite; M = 3, 6, 13 include points beyond 2^m, which enter the sums by the low bits of their labels.
TEST(LlrTable, AgreesWithTheRulesUpToSixtyFourPoints) {
    const uint32_t seed = TestSeed(20250117u);
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coordinate(-1.0, 1.0);
    const struct { int32_t M; double L, esno; } cases[] = {
        {8, 1.5, 10.0}, {64, 1.5, kInf}, {32, 1.5, 12.0}, {2, 1.5, 3.0},  {3, 1.2, 5.0},
        {4, 1.5, 0.7},  {6, 2.0, 4.0},   {13, 1.5, 2.0},  {16, 1.0, 6.0},
    };
    for (int32_t i = 0; i < RandomTrials(9); ++i) {  // under emulation only the first
        const auto [M, L, esno] = cases[i];
        Constellation points;
        for (int32_t s = 0; s < M; ++s) points.pointI[s] = coordinate(rng), points.pointQ[s] = coordinate(rng);
        const std::vector<double> expected = RuleTable(points, M, L, esno), table = Build(points, M, L, esno);
        ASSERT_EQ(table.size(), expected.size());
        size_t differing = 0;
        for (size_t e = 0; e < table.size(); ++e) {
            if (table[e] == expected[e]) continue;
            ++differing;  // excess precision may move an entry across one quantisation step
            ASSERT_TRUE(!kExactDoubles && std::fabs(table[e] - expected[e]) == 2.0)
                << "seed=" << seed << " M=" << M << " L=" << L << " esno=" << esno << " entry " << e;
        }
        EXPECT_LE(differing, table.size() / 1000);
    }
}

// 256 points: the 256-QAM example spread four times wider (neighbours stand e^-3 apart in metric): every bit in each
// point's own cell says that point's label, bits 6 and 7 included, which the rules' sums leave out. Natively the
// whole table (16M exponentials), under emulation those cells.
TEST(LlrTable, TwoHundredFiftySixPointsGetRatiosOnEveryBit) {
    Constellation qam;
    int32_t openFailed = 0;
    const std::string path = std::string(TPC_SOURCE_DIR) + "/examples/constellations/256qam.txt";
    ReadConstellation(qam.pointI.data(), qam.pointQ.data(), 256, path.c_str(), &openFailed);
    ASSERT_EQ(openFailed, 0) << path;
    for (int32_t s = 0; s < 256; ++s) qam.pointI[s] *= 4.0, qam.pointQ[s] *= 4.0;
    const double L = 6.0;
    const std::vector<double> table = Emulated() ? std::vector<double>() : Build(qam, 256, L, 8.0);
    for (int32_t s = 0; s < 256; ++s) {
        int32_t row = 0, column = 0;
        double llrs[8];
        LocateLlrCell(qam.pointI[s], qam.pointQ[s], L, 8, &row, &column);
        ComputeCellLlrs(GridCellCentre(row, L), GridCellCentre(column, L), qam.pointI.data(), qam.pointQ.data(), 256,
                        8, 8.0, llrs);
        for (int32_t k = 0; k < 8 && !table.empty(); ++k) llrs[k] = table[EntryIndex(8, row, column, k)];
        for (int32_t k = 0; k < 8; ++k) ASSERT_EQ(llrs[k] > 0, ((s >> k) & 1) == 1) << "point " << s << " bit " << k;
    }
}

// Where the plain quotient of the sums has a finite logarithm it is kept exactly; elsewhere the log-sum-exp value is
// finite and agrees with the closed form. Two points at -1 and +1 give 4 * gamma * I; a far point at (30, 0) against
// one at (-1, 0) gives gamma * (d0^2 - d1^2).
TEST(CellLlrs, UnderflowFallsBackToLogSumExp) {
    const double cases[][2] = {{1.0, 200.0}, {1.0, 1e6}, {30.0, 5.0}, {30.0, 1e3}};  // far I, esno
    for (const auto& [farI, esno] : cases) {
        const Constellation points = TwoPoints(farI);
        int32_t fallbacks = 0;
        for (int32_t r = 0; r < 256; r += 3) {
            for (int32_t col = 0; col < 256; col += 5) {
                const double I = GridCellCentre(r, 1.5), Q = GridCellCentre(col, 1.5);
                const double d0 = (I + 1.0) * (I + 1.0) + Q * Q, d1 = (I - farI) * (I - farI) + Q * Q;
                const double plain = std::log(std::exp(-d1 * esno) / std::exp(-d0 * esno));
                double llr = 0.0;
                ComputeCellLlrs(I, Q, points.pointI.data(), points.pointQ.data(), 2, 1, esno, &llr);
                fallbacks += !std::isfinite(plain);
                const double closedForm = esno * ((I + 1.0) * (I + 1.0) - (I - farI) * (I - farI));
                ASSERT_TRUE(std::isfinite(plain) ? llr == plain
                                                 : std::fabs(llr - closedForm) <= 1e-9 * std::fabs(closedForm))
                    << "far I=" << farI << " esno=" << esno << " r=" << r << " c=" << col << ": " << llr;
            }
        }
        EXPECT_GT(fallbacks, 0) << "far I=" << farI << " esno=" << esno;
    }
}

// The first nine leave the table as it was; the rest build a whole table
// before they fail, and under emulation only two of them run.
TEST(LlrTable, RejectsWhatCannotMakeATable) {
    Constellation two = TwoPoints(), broken = two, infinite = two;
    broken.pointQ[1] = kNan;
    infinite.pointI[0] = -kInf;  // every ratio +inf
    const struct { const char* what; Constellation points; int32_t M, gridBits; double L, esno; } cases[] = {
        {"M too small", two, 1, 8, 1.5, 2.0},          {"M too large", two, 257, 8, 1.5, 2.0},
        {"L too small", two, 2, 8, 0.001, 2.0},        {"L not a number", two, 2, 8, kNan, 2.0},
        {"L infinite", two, 2, 8, kInf, 2.0},          {"2L overflows", two, 2, 8, 1e308, 2.0},
        {"grid bits", two, 2, 7, 1.5, 2.0},            {"esno not a number", two, 2, 8, 1.5, kNan},
        {"esno infinite", two, 2, 8, 1.5, kInf},       {"coordinate infinite", infinite, 2, 8, 1.5, 2.0},
        {"coordinate not a number", broken, 2, 8, 1.5, 2.0}, {"esno 0: ratio 0 everywhere", two, 2, 8, 1.5, 0.0},
        {"both points at the origin: zero peak", Constellation(), 2, 8, 1.5, 2.0},
        {"point 0 nearer everywhere: negative peak", TwoPoints(30.0), 2, 8, 1.5, 5.0},
    };
    for (size_t i = 0; i < (Emulated() ? 11 : std::size(cases)); ++i) {
        const auto& c = cases[i];
        std::vector<double> table(2 * kTableCells, 5.0);
        const Status built = BuildLlrTable(c.points.pointI.data(), c.points.pointQ.data(), table.data(), c.M, c.L,
                                           c.gridBits, c.esno);
        EXPECT_EQ(built.code, 9) << c.what;
        EXPECT_TRUE(i >= 9 || std::count(table.begin(), table.end(), 5.0) == 2 * kTableCells) << c.what;
    }
}

// A peak far smaller than the most negative entry scales that entry past the 32-bit range; it saturates at the
// largest odd value instead. The bisector of the two points sits 1e-9 left of the last row's centre.
TEST(LlrTable, EntriesBeyondThirtyTwoBitsSaturate) {
    const std::vector<double> table = Build(TwoPoints(2.0 * (GridCellCentre(255, 1.5) - 1e-9) + 1.0), 2, 1.5, 1.0);
    for (int32_t c = 0; c < 256; ++c) {
        ASSERT_EQ(table[EntryIndex(1, 255, c, 0)], 59.0) << c;
        ASSERT_EQ(table[EntryIndex(1, 0, c, 0)], -2147483647.0) << c;
    }
    int32_t llr = 0;
    FetchSymbolLlrs(1, 0, 17, &llr, table.data());
    EXPECT_EQ(llr, -2147483647);
}

}  // namespace
