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
        word_ = 0;  // fillWords counts on no bits above left_
        left_ = 0;
    }
    int next() {
        if (left_ == 0) refill();
        const int bit = static_cast<int>(word_ & 1u);
        word_ >>= 1;
        --left_;
        return bit;
    }
    // The next `count` bits packed 64 to a word, least significant first (bit
    // i in word i / 64), as next() would give them one by one; the last
    // word's bits past them are 0.
    void fillWords(uint64_t* words, int64_t count) {
        for (int64_t i = 0; i < count; i += 64) {
            const int take = count - i < 64 ? static_cast<int>(count - i) : 64;
            uint64_t out;
            if (left_ >= take) {
                out = word_;
                word_ = take == 64 ? 0 : word_ >> take;
                left_ -= take;
            } else {
                // The bits left above bit left_ of word_ are 0: the fresh word goes on top.
                const uint64_t fresh = random_.next();
                out = word_ | fresh << left_;
                const int used = take - left_;
                word_ = used == 64 ? 0 : fresh >> used;
                left_ = 64 - used;
            }
            words[i / 64] = take == 64 ? out : out & ((uint64_t{1} << take) - 1);
        }
    }

private:
    void refill() {
        word_ = random_.next();
        left_ = 64;
    }
    Random random_;
    uint64_t word_ = 0;
    int left_ = 0;
};

}  // namespace tpc::link
