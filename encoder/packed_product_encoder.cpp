// Product block encoder on bit-packed rows (see packed_product_encoder.h).
//
// The helical read by whole rows. With R = ny*nz rows and the step
// s = nx*d + 1 (d = 1 in two dimensions, ny + 1 in three), output bit
// i = u*nx + x has i*s = nx*(i*d + u) + x, so it is column x of block row
// (u*s + x*d) mod R. Rotate column x up by x*d mod R rows (rotated row r holds
// block row (r + x*d) mod R in column x) and output bits u*nx ... u*nx + nx-1
// are all of rotated row u*s mod R. This holds for every i, so it covers the
// steps that share a factor with N too. The rotation is a barrel shifter:
// stage b moves the columns whose distance has bit b set by 2^b rows.
#include "encoder/packed_product_encoder.h"

#include <cstring>

#include "code/bit_bytes.h"
#include "code/helical_map.h"
#include "encoder/hamming_encoder.h"

namespace tpc {

namespace {

// Eight bytes 0/1 as the bits of one byte, byte i to bit i. Byte i of the
// little-endian word sits at bit 8i; the multiplier adds it at bit 8i + 7j + 7
// for each j, and only j = 7 - i lands in the top byte (at bit 56 + i), with
// no carry from the partial products below it, which never share a bit.
inline uint64_t GatherEightBits(const uint8_t* bytes) {
    uint64_t word;
    std::memcpy(&word, bytes, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    word = __builtin_bswap64(word);
#endif
    return (word * 0x0102040810204080u) >> 56;
}

// Bit p of entry t: parity position k + p of the component word of length n
// whose only nonzero information bit is t (n - k <= 9 for every code).
std::vector<uint16_t> UnitResponses(int32_t n, int32_t k) {
    std::vector<uint16_t> responses(k, 0);
    int32_t word[256];
    int32_t parity[kParityRegisterClear];
    for (int32_t t = 0; t < k; ++t) {
        for (int32_t i = 0; i < n; ++i) word[i] = i == t ? 1 : 0;
        if (n - k == 1) {
            EncodeParityWord(n, word);
        } else {
            EncodeHammingWord(n, word, parity);
        }
        for (int32_t p = 0; p < n - k; ++p) {
            responses[t] = static_cast<uint16_t>(responses[t] | word[k + p] << p);
        }
    }
    return responses;
}

// Per parity position p: the information positions whose responses hold p.
std::vector<std::vector<int32_t>> ParitySources(int32_t n, int32_t k) {
    const std::vector<uint16_t> responses = UnitResponses(n, k);
    std::vector<std::vector<int32_t>> sources(n - k);
    for (int32_t p = 0; p < n - k; ++p) {
        for (int32_t t = 0; t < k; ++t) {
            if ((responses[t] >> p) & 1) sources[p].push_back(t);
        }
    }
    return sources;
}

// One information row packed: the kx bits (bytes 0/1) into `words` words,
// zero past them.
void PackRow(const uint8_t* bits, int32_t kx, int32_t words, uint64_t* row) {
    for (int32_t w = 0; w < words; ++w) {
        const int32_t begin = 64 * w, end = kx < begin + 64 ? kx : begin + 64;
        uint64_t value = 0;
        int32_t x = begin;
        for (; x + 8 <= end; x += 8) value |= GatherEightBits(bits + x) << (x - begin);
        for (; x < end; ++x) value |= uint64_t{bits[x]} << (x - begin);
        row[w] = value;
    }
}

// The same from packed bits: the kx bits from bit `first` of `infoWords`.
void ReadRow(const uint64_t* infoWords, int64_t first, int32_t kx, int32_t words, uint64_t* row) {
    for (int32_t w = 0; w < words; ++w) {
        const int32_t begin = 64 * w, count = kx - begin < 64 ? kx - begin : 64;
        row[w] = count > 0 ? ReadBits(infoWords, first + begin, count) : 0;
    }
}

// A packed information row completed by its X parity bits (parityOfByte as
// in the class), from position kx on.
void AddRowParity(int32_t kx, const uint16_t* parityOfByte, uint64_t* row) {
    uint64_t parity = 0;
    for (int32_t begin = 0; begin < kx; begin += 64, parityOfByte += 8 * 256) {
        const uint64_t value = row[begin / 64];  // in a register for its eight lookups
        const int32_t bytes = (kx - begin + 7) / 8 < 8 ? (kx - begin + 7) / 8 : 8;
        for (int32_t b = 0; b < bytes; ++b) parity ^= parityOfByte[256 * b + ((value >> (8 * b)) & 0xFF)];
    }
    // The parity bits never cross a word: a Hamming row ends at n = 8 ... 64
    // or at a multiple of 64, a parity row has one.
    row[kx / 64] |= parity << (kx % 64);
}

// target = XOR of the `words`-word runs at base + stride * s for s in sources.
// Word by word, so that each sum stays in a register.
void XorRuns(const std::vector<int32_t>& sources, const uint64_t* base, int32_t stride, int32_t words,
             uint64_t* target) {
    for (int32_t w = 0; w < words; ++w) {
        uint64_t sum = 0;
        for (int32_t s : sources) sum ^= base[static_cast<size_t>(stride) * s + w];
        target[w] = sum;
    }
}

// to = the `rows` rows of `from` (`words` words each) with the columns in
// `moved` taken from `distance` rows further down, past the last row from
// the top again.
void RotateColumns(const uint64_t* from, int32_t rows, int32_t words, int32_t distance,
                   const uint64_t* moved, uint64_t* to) {
    const size_t shift = static_cast<size_t>(words) * distance, total = static_cast<size_t>(words) * rows;
    for (size_t i = 0, w = 0; i < total; ++i) {
        const size_t source = i < total - shift ? i + shift : i + shift - total;
        to[i] = (from[i] & ~moved[w]) | (from[source] & moved[w]);
        if (++w == static_cast<size_t>(words)) w = 0;
    }
}

}  // namespace

PackedProductEncoder::PackedProductEncoder(const ProductCode& code, bool interleave)
    : code_(code), interleave_(interleave), wordsPerRow_((code.nx + 63) / 64) {
    const ProductCode& c = code_;
    const int32_t words = wordsPerRow_, rowCount = c.ny * c.nz;
    rows_.assign(static_cast<size_t>(rowCount) * words, 0);

    const std::vector<uint16_t> rowResponses = UnitResponses(c.nx, c.kx);
    const int32_t infoBytes = (c.kx + 7) / 8;
    rowParityOfByte_.assign(static_cast<size_t>(infoBytes) * 256, 0);
    for (int32_t b = 0; b < infoBytes; ++b) {
        for (int32_t v = 0; v < 256; ++v) {
            uint16_t parity = 0;
            for (int32_t i = 0; i < 8 && 8 * b + i < c.kx; ++i) {
                if ((v >> i) & 1) parity = static_cast<uint16_t>(parity ^ rowResponses[8 * b + i]);
            }
            rowParityOfByte_[256 * b + v] = parity;
        }
    }

    columnParitySources_ = ParitySources(c.ny, c.ky);
    if (c.ThreeDimensional()) lineParitySources_ = ParitySources(c.nz, c.kz);

    if (interleave) {
        const int64_t step = HelicalStep(c.nx, c.ny, c.kz);
        const int64_t d = (step - 1) / c.nx;
        helicalRowStep_ = static_cast<int32_t>(step % rowCount);
        for (int32_t distance = 1; distance < rowCount; distance *= 2) {
            std::vector<uint64_t> moved(words, 0);
            for (int32_t x = 0; x < c.nx; ++x) {
                if ((x * d % rowCount) & distance) moved[x / 64] |= uint64_t{1} << (x % 64);
            }
            if (moved == std::vector<uint64_t>(words, 0)) continue;
            rotationDistances_.push_back(distance);
            rotationColumns_.insert(rotationColumns_.end(), moved.begin(), moved.end());
        }
        for (std::vector<uint64_t>& buffer : rotated_) buffer.assign(rows_.size(), 0);
    }
}

void PackedProductEncoder::Encode(const uint8_t* infoBits, uint8_t* codeBits) {
    const ProductCode& c = code_;
    const int32_t words = wordsPerRow_, layerWords = c.ny * words;
    // X: information rows, each completed by its parity bits.
    for (int32_t z = 0; z < c.kz; ++z) {
        for (int32_t y = 0; y < c.ky; ++y) {
            uint64_t* row = rows_.data() + static_cast<size_t>(layerWords) * z + words * y;
            PackRow(infoBits, c.kx, words, row);
            AddRowParity(c.kx, rowParityOfByte_.data(), row);
            infoBits += c.kx;
        }
    }
    EncodeColumnsAndEmit(codeBits);
}

void PackedProductEncoder::EncodePacked(const uint64_t* infoWords, uint8_t* codeBits) {
    const ProductCode& c = code_;
    const int32_t words = wordsPerRow_, layerWords = c.ny * words;
    int64_t first = 0;
    for (int32_t z = 0; z < c.kz; ++z) {
        for (int32_t y = 0; y < c.ky; ++y, first += c.kx) {
            uint64_t* row = rows_.data() + static_cast<size_t>(layerWords) * z + words * y;
            ReadRow(infoWords, first, c.kx, words, row);
            AddRowParity(c.kx, rowParityOfByte_.data(), row);
        }
    }
    EncodeColumnsAndEmit(codeBits);
}

void PackedProductEncoder::EncodeColumnsAndEmit(uint8_t* codeBits) {
    const ProductCode& c = code_;
    const int32_t words = wordsPerRow_;
    const int32_t layerWords = c.ny * words;
    uint64_t* rows = rows_.data();

    // Y: parity rows of every information layer.
    for (int32_t z = 0; z < c.kz; ++z) {
        uint64_t* layer = rows + static_cast<size_t>(layerWords) * z;
        for (int32_t p = 0; p < c.ny - c.ky; ++p) {
            XorRuns(columnParitySources_[p], layer, words, words, layer + words * (c.ky + p));
        }
    }

    // Z: parity layers (three dimensions only).
    for (int32_t p = 0; p < static_cast<int32_t>(lineParitySources_.size()); ++p) {
        XorRuns(lineParitySources_[p], rows, layerWords, layerWords,
                rows + static_cast<size_t>(layerWords) * (c.kz + p));
    }

    // Emission. Byte stores may alias the members, so every bound the loops
    // read is a local.
    const int32_t nx = c.nx, rowCount = c.ny * c.nz;
    const uint64_t* emitted = rows;
    int32_t rowStep = 1;
    if (interleave_) {
        for (size_t stage = 0; stage < rotationDistances_.size(); ++stage) {
            uint64_t* to = rotated_[stage % 2].data();
            RotateColumns(emitted, rowCount, words, rotationDistances_[stage],
                          rotationColumns_.data() + stage * words, to);
            emitted = to;
        }
        rowStep = helicalRowStep_;
    }
    for (int32_t u = 0, r = 0; u < rowCount; ++u) {
        SpreadBits(emitted + static_cast<size_t>(words) * r, nx, codeBits + static_cast<size_t>(nx) * u);
        r += rowStep;
        if (r >= rowCount) r -= rowCount;
    }
}

}  // namespace tpc
