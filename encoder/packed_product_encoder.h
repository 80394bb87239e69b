// Product block encoder on bit-packed rows, for callers that encode block
// after block (the link simulator). It emits exactly the code bits of
// EncodeProductBlock, in the same order: block order, or the helical read
// (including the step/N pairs where that read is not a permutation); with
// nz > 1 and kz == 1 the layers above 0 stay 0, as in a freshly made
// ProductEncoder.
//
// Each row of the block is ceil(nx/64) 64-bit words, bit x of the row in bit
// x % 64 of word x / 64. The component codes are linear, so every parity bit
// is the XOR of the unit responses of the information bits it covers:
//   X parity  per-byte lookup of the row's information bits
//   Y parity  rows: XOR of the information rows the Y code's unit responses
//             select, whole words at a time
//   Z parity  layers: the same over the information layers
// The X-coded rows enter Y and Z, so parity on parity comes out as well.
// The helical read takes whole rows of a copy whose columns are rotated.
#pragma once

#include <cstdint>
#include <vector>

#include "code/product_code.h"

namespace tpc {

class PackedProductEncoder {
public:
    // The code must pass CheckProductCode. Builds the tables and the block;
    // the only place that allocates.
    PackedProductEncoder(const ProductCode& code, bool interleave);

    // K information bits (bytes 0/1, arrival order: kx per row, ky rows per
    // layer) in, N code bits (bytes 0/1) out, in emission order. Any other
    // input byte value gives an undefined block. Allocates nothing.
    void Encode(const uint8_t* infoBits, uint8_t* codeBits);
    // The same with the K information bits packed 64 to a word, bit t of the
    // arrival order in word t / 64 at t % 64 (bits past K ignored): the form
    // a random source draws them in, with no bytes to gather.
    void EncodePacked(const uint64_t* infoWords, uint8_t* codeBits);

private:
    // From the X-coded information rows on: the Y and Z parity, the emission.
    void EncodeColumnsAndEmit(uint8_t* codeBits);

    ProductCode code_;
    bool interleave_;
    int32_t wordsPerRow_;
    // Row r = y + ny*z at word r * wordsPerRow_.
    std::vector<uint64_t> rows_;
    // Entry 256*b + v: the X parity bits (bit p = row position kx + p) of the
    // information byte v at row byte b.
    std::vector<uint16_t> rowParityOfByte_;
    // Per Y (Z) parity position p: the information rows (layers) whose XOR
    // is parity row ky + p (layer kz + p).
    std::vector<std::vector<int32_t>> columnParitySources_;
    std::vector<std::vector<int32_t>> lineParitySources_;
    // Interleaving (the helical read by rows, see the .cpp): per stage of the
    // column rotation its distance in rows and the `wordsPerRow_` words of the
    // columns it moves; two buffers the stages alternate between; the
    // distance between the rotated rows of consecutive output rows.
    std::vector<int32_t> rotationDistances_;
    std::vector<uint64_t> rotationColumns_;
    std::vector<uint64_t> rotated_[2];
    int32_t helicalRowStep_ = 1;
};

}  // namespace tpc
