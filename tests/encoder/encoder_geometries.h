// The product codes every encoder test runs on, each there for a reason:
//   - Hamming axes of every length, parity axes (length 2, odd lengths 5 and 13
//     on X, Y and Z) and mixtures of the two;
//   - 3D codes, one with each axis a parity code, and 2D codes with a second
//     layer left alone (nz = 2, kz = 1);
//   - rows of 1, 2 and 4 packed words, with the parity bit of (65,64) alone in
//     the second word, and a 256-long Z line;
//   - helical reads that are not permutations: gcd(s, N) = 8 for 7x8 (s = 8)
//     and 3 for 4x4x3 (s = 21);
//   - two blocks whose i*s passes 2^32: one with N a power of two, where
//     wrapping at 32 bits would go unnoticed, and one with N odd, where it
//     would not.
#pragma once

#include "code/product_code.h"

inline const tpc::ProductCode kEncoderGeometries[] = {
    {64, 57, 64, 57, 1, 1},   {8, 4, 16, 11, 1, 1},     {5, 4, 8, 4, 1, 1},      {12, 11, 9, 8, 1, 1},
    {2, 1, 8, 4, 1, 1},       {256, 247, 4, 3, 1, 1},   {256, 247, 8, 4, 1, 1},  {16, 11, 128, 120, 1, 1},
    {32, 26, 5, 4, 1, 1},     {13, 12, 32, 26, 1, 1},   {65, 64, 13, 12, 1, 1},  {7, 6, 8, 4, 1, 1},
    {8, 4, 8, 4, 2, 1},       {5, 4, 64, 57, 2, 1},     {8, 4, 8, 4, 8, 4},      {16, 11, 8, 7, 3, 2},
    {5, 4, 16, 11, 8, 4},     {32, 26, 4, 3, 16, 11},   {16, 11, 16, 11, 16, 11}, {5, 4, 8, 4, 13, 12},
    {4, 3, 4, 3, 3, 2},       {8, 4, 5, 4, 64, 57},     {8, 4, 2, 1, 256, 247},  {128, 120, 2, 1, 8, 4},
    {128, 120, 32, 26, 3, 2}, {256, 247, 2, 1, 8, 4},   {256, 247, 256, 247, 8, 4},
    {255, 254, 255, 254, 3, 2},
};
