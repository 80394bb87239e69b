// Log-likelihood ratios of the bits of one received point, before the table
// normalises and quantises them.
//
// For a point (I, Q) and constellation points s = 0 ... M-1, with
// mu_s = exp(-d_s^2 * gamma) and d_s the distance to point s:
//
//   llr[k] = ln( sum of mu_s over s with bit k set
//              / sum of mu_s over s with bit k clear )
#pragma once

#include <cstdint>

namespace tpc {

// Writes llrs[0 ... m-1].
//   I, Q            in   the received point
//   pointI, pointQ  in   M point coordinates, label = index
//   M                    2 ... 256 (unchecked)
//   m                    bits per symbol, 1 ... 8, with 2^m <= M (unchecked)
//   gamma                metric factor (Es/No as a plain ratio)
//   llrs            out  m entries
//
// Every point s < M and every bit k < m takes part. For M <= 64 these are
// the same sums as over indices 0 ... 63 with the metrics above M at zero:
// adding zeros in index order changes no bit.
//
// When the plain quotient has no finite logarithm (a sum underflowed to 0 or
// overflowed, or the quotient itself did), the ratio is formed in
// log-sum-exp form over the same index sets instead:
//   ln N = e_max + ln sum exp(e_s - e_max),  e_s = -d_s^2 * gamma,
// and likewise ln D; llr = ln N - ln D. Far from a point and with a large
// gamma this is the only way to keep the sign and size of the ratio; cells
// where the plain value is finite keep it bit for bit.
void ComputeCellLlrs(double I, double Q, const double* pointI, const double* pointQ, int32_t M,
                     int32_t m, double gamma, double* llrs);

}  // namespace tpc
