// The LLR lookup table: built once per run over a 256 x 256 grid of the I/Q
// plane, looked up once per received symbol.
//
//        Q (column c)
//   +L  +-----------+        cell j of an axis covers (-L + j*w, -L + (j+1)*w],
//       |           |        w = 2L / 256, centre -L + L/256 + j*w
//       |  cell r,c |
//   -L  +-----------+        entry (r, c, k) at (m*256)*r + m*c + k,
//      -L    I (row r)  +L    k = bit of the point label, 0 = least significant
//
// Each entry is an odd integer held in a double: positive when bit k = 1 is
// the more likely, the peak of the table scaled to 2A - 1.
#pragma once

#include <cstdint>

#include "code/status.h"

namespace tpc {

inline constexpr int32_t kGridBits = 8;

// The LLR node's defaults: Es/N0 (linear), the table's clipping limit, the
// resolution it shows.
inline constexpr double kDefaultLlrEsNo = 11.5;
inline constexpr double kDefaultLlrLimit = 1.5;
inline constexpr int32_t kDefaultLlrResolution = 5;
inline constexpr int32_t kGridCells = 256;               // per axis
inline constexpr int32_t kTableCells = 256 * 256;        // entries per bit
inline constexpr int32_t kMaxBitsPerSymbol = 8;

// m = trunc(log10(M) * 3.322): 1 for M = 2 ... 3, 2 for 4 ... 7, ... 8 for
// 256. 0 for M < 2 (no logarithm is taken there).
int32_t BitsPerSymbol(int32_t M);

// A: 60 for M = 8, 30 for any other M up to 32, 70 above 32.
double PeakLevel(int32_t M);

// gamma: esno as a plain ratio, limited to 8.0 when M > 32 and esno > 8.0.
double MetricFactor(int32_t M, double esno);

// Centre of grid cell j (0 ... 255) of an axis that spans [-L, L], computed
// from the index so that no error accumulates along the axis.
double GridCellCentre(int32_t j, double L);

// The LLR node's code for a table it cannot make.
inline constexpr int32_t kLlrUnusable = 9;

// Whether M and L can make a table: M must lie in 2 ... 256 and L be greater
// than 0.001 with 2L finite. Failures carry kLlrUnusable.
Status CheckLlrParameters(int32_t M, double L);

// The Es/N0 and the limit a table is asked for, as tpcsim and the codec API
// refuse them: the words that follow the setting's own name (" must be a
// positive number (a ratio, not dB)", " must be greater than 0.001"), or
// nullptr for a usable value. An Es/N0 must be positive and finite; a limit
// finite and greater than 0.001.
const char* EsNoProblem(double esno);
const char* LimitProblem(double L);

// Fills table[0 ... m*65536 - 1] (m = BitsPerSymbol(M)).
//   pointI, pointQ  in   M point coordinates, label = index
//   table           out  caller-owned, m * 65536 doubles
//   gridBits             must be 8
//   esno                 Es/No as a plain ratio
// Raw ratios come from ComputeCellLlrs (all M points, all m bits, log-sum-exp
// where the plain quotient fails); the peak P is the largest entry in index
// order, and every entry v becomes 2 * ceil(min((1/P) * A * v, A)) - 1,
// saturated at +-2147483647 so that it always converts to a 32-bit integer.
// The cap at A only undoes rounding: it makes the peak 2A - 1 for certain.
// Fails (kLlrUnusable, "LLR table has no positive peak: ..."), leaving no
// usable table, when
//   - CheckLlrParameters fails or gridBits != 8 (table untouched),
//   - gamma is not finite (table untouched),
//   - some raw entry is not finite even in log-sum-exp form (a coordinate
//     that is infinite, not a number, or too large to square),
//   - the peak P is not positive, or so small that 1/P overflows.
Status BuildLlrTable(const double* pointI, const double* pointQ, double* table, int32_t M,
                   double L, int32_t gridBits, double esno);
// The same, also giving the factor from raw ratios to table units (A / P):
// an entry is 2 * ceil(min(rawToEntry * raw, A)) - 1, so that LLRs computed
// elsewhere (per symbol, exactly) can be put on the table's scale.
Status BuildLlrTable(const double* pointI, const double* pointQ, double* table, int32_t M,
                   double L, int32_t gridBits, double esno, double* rawToEntry);

// Cell of a received sample: *row from I, *column from Q, each
// ceil(a / (2L/256)) - 1 with a = x + L clamped to at most 2L - 0.001, then
// to at least 0.001. Samples at or beyond the edges land in cell 0 or 255.
// The grid is always 256 cells per axis; gridBits is carried for the caller
// and not used. A sample that is not a number lands in cell 0, and the index
// is kept within 0 ... 255 even for an L that CheckLlrParameters rejects.
void LocateLlrCell(double I, double Q, double L, int32_t gridBits, int32_t* row,
                   int32_t* column);

// The cell of a received sample as the LLR node finds it: a coordinate that
// is not a number counts as 0, the centre of the plane. It says nothing about
// the bits, where the edge cell it would otherwise land in speaks with full
// confidence.
void LocateReceivedCell(double I, double Q, double L, int32_t* row, int32_t* column);

// out[k] = entry (row, column, k) truncated toward zero, k = 0 ... m-1.
//   m        bits per symbol of the table, row and column in 0 ... 255
//   out      out  m integers; nothing else written
//   table    in   a table built by BuildLlrTable
void FetchSymbolLlrs(int32_t m, int32_t row, int32_t column, int32_t* out, const double* table);

}  // namespace tpc
