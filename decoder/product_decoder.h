// Iterative soft-in soft-out decoder of one product block.
//
// The block is decoded in axis passes: a pass decodes every line along one
// axis with that axis's component decoder and leaves each position's
// extrinsic value (soft output minus soft input) in a store. The next passes
// add the stored values, weighted in sixteenths, to the channel values.
//
//   two dimensions (kz < 2):  X Y X Y ...     one store E (= extrinsicA),
//                                             first plane only
//   three dimensions:         X Y Z X Y Z ... stores A and B alternate, so a
//                                             pass reads the extrinsics of
//                                             the other two axes in A + B
//
// Element (x, y, z) lies at nx*ny*z + nx*y + x. An axis with n - k == 1 is
// a single parity code, any other an extended Hamming code of length n.
#pragma once

#include <cstdint>

// Decodes one block; selects the schedule by kz (< 2: two dimensions).
// DecodeProductBlock runs the implementation chosen once for this CPU
// (product_decoder_dispatch.h); every implementation returns exactly what
// DecodeProductBlockPlain returns, which stays as the reference and fallback.
//   iterations  in      maximum number of axis passes; tested at the start
//                       of each cycle only, so whole cycles run; <= 0 runs none
//   selectstp   in      nonzero: stop early once the component decoders
//                       report no correction (2D: one quiet pass, 3D: two)
//   channel     in/out  blockSize soft values, > 0 favouring bit 1; all of
//                       them are left clipped to +-31
//   decisions   out     bits 0/1 of the last pass that ran, for every decoded
//                       element; elements no pass reached are left untouched
//   nx ... kz           code and information lengths, validated by the node
//   blockSize           nx * ny * nz
//   NUMX/Y/Z    in      feedback weights of the X, Y, Z passes in sixteenths
//   planeSize           nx * ny
//   extrinsicA  scratch blockSize entries (2D uses the first plane only)
//   extrinsicB  scratch blockSize entries (3D only)
// Every buffer belongs to the caller. Integer arithmetic only, no allocation.
void DecodeProductBlock(int32_t iterations, uint32_t selectstp, int32_t* channel,
                        int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                        int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                        int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                        int32_t* extrinsicB);

void DecodeProductBlockPlain(int32_t iterations, uint32_t selectstp, int32_t* channel,
                             int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                             int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX,
                             int32_t NUMY, int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                             int32_t* extrinsicB);

// The two schedules, callable directly. The 2D one still clips all
// blockSize channel values but decodes (and writes decisions for) only the
// first plane.
void DecodeProductBlock2D(int32_t iterations, uint32_t selectstp, int32_t* channel,
                          int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                          int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                          int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA);

void DecodeProductBlock3D(int32_t iterations, uint32_t selectstp, int32_t* channel,
                          int32_t* decisions, int32_t nx, int32_t kx, int32_t ny, int32_t ky,
                          int32_t nz, int32_t kz, int32_t blockSize, int32_t NUMX, int32_t NUMY,
                          int32_t NUMZ, int32_t planeSize, int32_t* extrinsicA,
                          int32_t* extrinsicB);

// Steps of a line decode, exposed for tests.

// Soft input of one position: channelValue + feedbackSum * weight / 16 (the
// division truncating toward zero), limited to +-SoftLimit.
int32_t RowInput(int32_t channelValue, int32_t feedbackSum, int32_t weight);

// What a position hands on to later passes: its signed soft output
// (+reliability for bit 1, -reliability for bit 0) minus its row input.
int32_t ExtrinsicValue(uint8_t bit, int32_t reliability, int32_t rowInput);

// The pass counter of the last block decoded on the calling thread: 1 plus
// the number of axis passes that ran. It is per thread so that decoders on
// separate threads never race.
int32_t DecoderPassCounter();

// For the other implementations of DecodeProductBlock, which keep their own
// count while decoding and leave the same final value behind.
void SetDecoderPassCounter(int32_t value);
