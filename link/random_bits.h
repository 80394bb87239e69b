// A small, fast generator with the same output on every platform and
// standard library (the standard distributions are not portable), and the
// random bits built on it (Gaussian samples: gaussian_stream.h).
#pragma once

#include <cstdint>

namespace tpc::link {

// splitmix64: turns any seed, including 0, into well-mixed state words.
inline uint64_t SplitMix64(uint64_t& x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// xoshiro256** generator.
class Random {
public:
    explicit Random(uint64_t seed = 1) { reseed(seed); }

    void reseed(uint64_t seed) {
        for (uint64_t& word : s_) word = SplitMix64(seed);
    }

    uint64_t next() {
        const uint64_t result = rotl(s_[1] * 5, 7) * 9;
        const uint64_t t = s_[1] << 17;
        s_[2] ^= s_[0];
        s_[3] ^= s_[1];
        s_[1] ^= s_[2];
        s_[0] ^= s_[3];
        s_[2] ^= t;
        s_[3] = rotl(s_[3], 45);
        return result;
    }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t s_[4];
};

// Random bits drawn 64 at a time, least significant first: the source of a
// link, read one bit per sample by the nodes' source and a block at a time by
// the block engine, alike.
class RandomBits {
public:
    explicit RandomBits(uint64_t seed = 1) { reseed(seed); }
    void reseed(uint64_t seed) {
        random_.reseed(seed);
        left_ = 0;
    }
    int next() {
        if (left_ == 0) refill();
        const int bit = static_cast<int>(word_ & 1u);
        word_ >>= 1;
        --left_;
        return bit;
    }
    void fill(uint8_t* bits, int64_t count) {
        int64_t i = 0;
        for (; i < count && left_ > 0; ++i) bits[i] = static_cast<uint8_t>(next());
        // Whole words while they last: the bits a word would give one by one,
        // eight at a time (byte b of the spread is bit b of the octet).
        for (; count - i >= 64; i += 64) {
            const uint64_t word = random_.next();
            for (int j = 0; j < 8; ++j) {
                const uint64_t spread = SpreadOctet(static_cast<uint8_t>(word >> (8 * j)));
                for (int b = 0; b < 8; ++b) bits[i + 8 * j + b] = static_cast<uint8_t>(spread >> (8 * b));
            }
        }
        for (; i < count; ++i) bits[i] = static_cast<uint8_t>(next());
    }

private:
    // The eight bits of `octet` as the low bits of eight bytes. Multiplying
    // bits 0 ... 6 by sum(2^7b) moves bit b to bit 8b, no two partial
    // products meeting (they would for bit 7, which goes on its own).
    static uint64_t SpreadOctet(uint8_t octet) {
        return ((static_cast<uint64_t>(octet & 0x7Fu) * 0x0002040810204081ull) & 0x0101010101010101ull) |
               (static_cast<uint64_t>(octet >> 7) << 56);
    }
    void refill() {
        word_ = random_.next();
        left_ = 64;
    }
    Random random_;
    uint64_t word_ = 0;
    int left_ = 0;
};

}  // namespace tpc::link
