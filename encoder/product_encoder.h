// Product block encoder: K = kx*ky*kz information bits in, N = nx*ny*nz code
// bits out, every X row, Y column and (for kz >= 2) Z line a code word of
// its axis's component code.
//
// Block layout (x fastest), shown for one information layer z < kz:
//
//        x: 0 ........ kx-1 | kx ... nx-1
//   y: 0    information     | X parity
//      ...                  |
//   ky-1                    |
//   --------------------------------------
//   ky      Y parity        | parity on parity
//   ...                     |
//   ny-1                    |
//
// Layers kz ... nz-1 hold the Z parity of every (x, y). Position (x, y, z)
// is x + nx*y + nx*ny*z; the decoder reads blocks in this same layout.
#pragma once

#include <cstdint>
#include <vector>

#include "code/product_code.h"

namespace tpc {

// The node's default hard-decision threshold: a sample at or above it is a 1.
inline constexpr double kDefaultEncoderThreshold = 0.5;

// The encoder's scratch: N entries each for the information grid and the code
// block, 256 for one component word, at least 10 for the shift register.
struct EncoderScratch {
    int32_t* infoGrid;
    int32_t* codeBlock;
    int32_t* word;
    int32_t* parity;
};

// Made once for a code (which must pass CheckProductCode) and an emission
// order, then called per block. One encoder per thread.
class ProductEncoder {
public:
    // Owns its scratch.
    ProductEncoder(const ProductCode& code, bool interleave);
    // Works in the caller's scratch, allocating nothing (the encoder node's
    // state record holds it).
    ProductEncoder(const ProductCode& code, bool interleave, EncoderScratch scratch);

    // K bits (0.0/1.0, kx per row, ky rows per layer) in, N bits out in
    // emission order: block order, or helical when interleaving.
    void Encode(const double* inputBits, int32_t* outputBits);

    const ProductCode& code() const { return code_; }
    bool interleave() const { return interleave_; }

private:
    ProductCode code_;
    bool interleave_;
    std::vector<int32_t> ownedScratch_;
    EncoderScratch scratch_;
};

// The function form ProductEncoder runs. Encodes one block and lays it out
// for emission.
//   interleave  in   nonzero: output bit i is block position (i*s) mod N
//                    (helical read, see helical_map.h); zero: block order
//   inputBits   in   K bits as 0.0/1.0 in arrival order, kx per row, ky rows
//                    per layer; truncated toward zero on placement
//   outputBits  out  N bits in emission order
//   infoGrid    scratch N entries; only the information sub-grid is written
//   codeBlock   in/out N entries; every position is rewritten when nz == 1
//                    or kz >= 2. With kz == 1 and nz > 1 only layer 0 is
//                    encoded and the other layers keep their old contents.
//   word        scratch 256 entries (one component word)
//   parity      scratch at least 10 entries (shift register)
// Dimensions are taken as already validated by the node: per axis n - k == 1
// (parity code) or k one of 4, 11, 26, 57, 120, 247 with the matching n.
// Allocates nothing; every array belongs to the caller.
void EncodeProductBlock(uint32_t interleave, const double* inputBits, int32_t* outputBits,
                        int32_t* infoGrid, int32_t* codeBlock, int32_t* word, int32_t* parity,
                        int32_t nx, int32_t ny, int32_t nz, int32_t kx, int32_t ky, int32_t kz,
                        int32_t blockSize);

}  // namespace tpc
