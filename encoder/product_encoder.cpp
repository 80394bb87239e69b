// Product block encoder (see product_encoder.h).
//
// Each axis is encoded line by line through the single word array: gather a
// line's information bits with the axis stride, complete the component word,
// scatter all n positions back. X rows read the information grid; Y columns
// and Z lines read the code block, so they cover the parity written by the
// axes before them and the parity on parity comes out consistent.
#include "encoder/product_encoder.h"

#include "code/generator_polynomials.h"
#include "code/helical_map.h"
#include "encoder/hamming_encoder.h"

namespace tpc {

namespace {

// How the lines of one axis are completed.
struct AxisCode {
    int32_t n;
    int32_t k;
    bool parityCode;        // n - k == 1
    int32_t hammingLength;  // length selected by k; 0 when k names no code
};

AxisCode AxisCodeOf(int32_t n, int32_t k) {
    const int32_t m = HammingOrderOfInformationLength(k);
    return AxisCode{n, k, n - k == 1, m != 0 ? int32_t{1} << m : 0};
}

// Encodes the line of `code.n` positions starting at `first` with spacing
// `stride`: information from `source`, the complete word into `target`.
void EncodeLine(const AxisCode& code, const int32_t* source, int32_t* target, int32_t first,
                int32_t stride, int32_t* word, int32_t* parity) {
    for (int32_t t = 0; t < code.k; ++t) word[t] = source[first + stride * t];
    for (int32_t t = code.k; t < code.n; ++t) word[t] = 0;

    if (code.parityCode) {
        EncodeParityWord(code.n, word);
    } else if (code.hammingLength != 0) {
        EncodeHammingWord(code.hammingLength, word, parity);
    }
    // An axis that is neither (rejected by the node's checks) keeps zeros.

    for (int32_t t = 0; t < code.n; ++t) target[first + stride * t] = word[t];
}

}  // namespace

void EncodeProductBlock(uint32_t interleave, const double* inputBits, int32_t* outputBits,
                        int32_t* infoGrid, int32_t* codeBlock, int32_t* word, int32_t* parity,
                        int32_t nx, int32_t ny, int32_t nz, int32_t kx, int32_t ky, int32_t kz,
                        int32_t blockSize) {
    const int32_t layer = nx * ny;
    const bool threeDimensional = kz >= 2;
    const AxisCode codeX = AxisCodeOf(nx, kx);
    const AxisCode codeY = AxisCodeOf(ny, ky);
    const AxisCode codeZ = AxisCodeOf(nz, kz);

    // In two dimensions kz is 1, so these loops over z < kz visit layer 0 only.
    int32_t j = 0;
    for (int32_t z = 0; z < kz; ++z) {
        for (int32_t y = 0; y < ky; ++y) {
            for (int32_t x = 0; x < kx; ++x) {
                infoGrid[x + nx * y + layer * z] = static_cast<int32_t>(inputBits[j++]);
            }
        }
    }

    for (int32_t z = 0; z < kz; ++z) {
        for (int32_t y = 0; y < ky; ++y) {
            EncodeLine(codeX, infoGrid, codeBlock, nx * y + layer * z, 1, word, parity);
        }
    }

    for (int32_t z = 0; z < kz; ++z) {
        for (int32_t x = 0; x < nx; ++x) {
            EncodeLine(codeY, codeBlock, codeBlock, x + layer * z, nx, word, parity);
        }
    }

    if (threeDimensional) {
        for (int32_t y = 0; y < ny; ++y) {
            for (int32_t x = 0; x < nx; ++x) {
                EncodeLine(codeZ, codeBlock, codeBlock, x + nx * y, layer, word, parity);
            }
        }
    }

    if (interleave != 0) {
        const int64_t step = HelicalStep(nx, ny, kz);
        for (int32_t i = 0; i < blockSize; ++i) {
            outputBits[i] = codeBlock[HelicalPosition(i, step, blockSize)];
        }
    } else {
        for (int32_t i = 0; i < blockSize; ++i) outputBits[i] = codeBlock[i];
    }
}

ProductEncoder::ProductEncoder(const ProductCode& code, bool interleave)
    : code_(code), interleave_(interleave) {
    const size_t n = static_cast<size_t>(code.N());
    ownedScratch_.assign(2 * n + 256 + kParityRegisterClear, 0);
    int32_t* at = ownedScratch_.data();
    scratch_ = EncoderScratch{at, at + n, at + 2 * n, at + 2 * n + 256};
}

ProductEncoder::ProductEncoder(const ProductCode& code, bool interleave, EncoderScratch scratch)
    : code_(code), interleave_(interleave), scratch_(scratch) {}

void ProductEncoder::Encode(const double* inputBits, int32_t* outputBits) {
    const ProductCode& c = code_;
    EncodeProductBlock(interleave_ ? 1 : 0, inputBits, outputBits, scratch_.infoGrid,
                       scratch_.codeBlock, scratch_.word, scratch_.parity, c.nx, c.ny, c.nz, c.kx,
                       c.ky, c.kz, c.N());
}

}  // namespace tpc
