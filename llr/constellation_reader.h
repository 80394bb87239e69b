// Reads the constellation points of the LLR calculator from a text file.
//
// The file is a stream of numbers separated by any white space:
//
//   <integer>                     read, not used
//   <integer> <I> <Q>             point 0 (the integer is read, not used)
//   <integer> <I> <Q>             point 1
//   ...                           exactly M points; anything after is ignored
//
// The label of a point is its position in the file, never the integer
// written before it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpc {

// Room the callers give the coordinate arrays; M larger than this is never
// read past it.
inline constexpr int32_t kMaxConstellationPoints = 256;

// A file longer than this is refused (256 points take a few kilobytes).
inline constexpr size_t kMaxConstellationFileBytes = size_t{1} << 20;
// *openFailed for such a file.
inline constexpr int32_t kConstellationFileTooLong = 2;

// Reads M points ("%d", then per point "%d" "%lf" "%lf") into pointI[s] and
// pointQ[s], s = 0 ... M-1.
//   pointI, pointQ  out  caller-owned, zero-filled, at least min(M, 256)
//                        entries; only coordinates actually converted are
//                        written, so a short or malformed file leaves the
//                        rest at 0.0
//   M                    number of points; clamped to 0 ... 256
//   fileName        in   path opened with mode "r"
//   openFailed      out  set to 1 when the file cannot be opened, to
//                        kConstellationFileTooLong when it holds more than
//                        kMaxConstellationFileBytes (the arrays are then
//                        untouched); left alone otherwise, so the caller
//                        sets it to 0 beforehand
// The first conversion that fails ends the read. Returns the number of points
// read whole (0 when the file cannot be opened or is too long); the LLR node
// does not look at it (a file too long leaves it no points to build a table
// from), the development host's mapper refuses a file that falls short.
int32_t ReadConstellation(double* pointI, double* pointQ, int32_t M, const char* fileName,
                          int32_t* openFailed);

}  // namespace tpc
