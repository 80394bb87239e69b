// Bits packed 64 to a word (bit i in word i / 64, at i % 64) and the same
// bits one to a byte (0/1), the two forms the encoder and the link pass
// blocks in.
#pragma once

#include <cstdint>
#include <cstring>

namespace tpc {

// Entry v: the eight bits of v as bytes 0/1, bit 0 first.
struct OctetBytes {
    uint8_t bytes[256][8];
};

constexpr OctetBytes MakeOctetBytes() {
    OctetBytes table{};
    for (int v = 0; v < 256; ++v) {
        for (int i = 0; i < 8; ++i) table.bytes[v][i] = static_cast<uint8_t>((v >> i) & 1);
    }
    return table;
}

inline constexpr OctetBytes kOctetBytes = MakeOctetBytes();

// The first `count` packed bits of `words` as `count` bytes 0/1; an octet
// at a time through the table.
inline void SpreadBits(const uint64_t* words, int64_t count, uint8_t* bytes) {
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) std::memcpy(bytes + i, kOctetBytes.bytes[(words[i / 64] >> (i % 64)) & 0xFF], 8);
    for (; i < count; ++i) bytes[i] = static_cast<uint8_t>((words[i / 64] >> (i % 64)) & 1);
}

// Bits first ... first + count - 1 of `words` (1 <= count <= 64) as the low
// bits of one word, zero above them. Reads the next word only when the bits
// run into it.
inline uint64_t ReadBits(const uint64_t* words, int64_t first, int32_t count) {
    const int64_t word = first / 64;
    const int32_t shift = static_cast<int32_t>(first % 64);
    uint64_t value = words[word] >> shift;
    if (shift != 0 && shift + count > 64) value |= words[word + 1] << (64 - shift);
    return count == 64 ? value : value & ((uint64_t{1} << count) - 1);
}

}  // namespace tpc
