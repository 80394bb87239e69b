// Standard normal samples for the channel blocks and tpcsim, generated in
// batches by vectorised single-precision Box-Muller over interleaved
// xoshiro256** lanes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpc::link {

// Standard normal samples, a sequence fixed by the seed: the same numbers whether read one at a time or in
// arrays of any length, in any mix, on every platform, build and vector width (no libm calls in the
// generator, only exactly rounded float operations, no FP contraction).
//
// The sequence: eight xoshiro256** lanes, lane L seeded with words 4L .. 4L+3 of one splitmix64 sequence from
// the seed (so lane L runs as Random(seed + 4L * 0x9E3779B97F4A7C15)). Each batch of 512 samples takes 256
// words, word j of the batch from lane j % 8, and word j gives samples j and 256 + j (GaussianPairs).
// Samples are floats: a channel adds sigma times the sample, widened, to its double amplitudes.
class GaussianStream {
public:
    static constexpr size_t kLanes = 8;
    static constexpr size_t kBatch = 512;

    explicit GaussianStream(uint64_t seed = 1);
    void reseed(uint64_t seed);  // restarts the sequence
    float next() {               // the next sample
        if (pos_ == kBatch) refill();
        return batch_[pos_++];
    }
    void fill(float* out, size_t count);  // the next `count` samples, in order

private:
    void refill();
    void generate(float* out);  // the next kBatch samples

    alignas(64) uint64_t state_[4][kLanes];  // state word w of lane L at [w][L]
    alignas(64) float batch_[kBatch];
    size_t pos_ = kBatch;  // next unread sample of batch_
};

// The pieces of the generator, exposed for the tests.
namespace gaussian_detail {

// Natural logarithm of a positive, normal, finite x.
float Log(float x);
// sin and cos of 0 <= x <= pi/4.
float SinOctant(float x);
float CosOctant(float x);

// The Box-Muller transform of `pairs` uniform words: word j gives first[j] and second[j] (the stream's
// samples j and 256 + j of a batch).
void GaussianPairs(const uint64_t* words, size_t pairs, float* first, float* second);

// The same transform written plainly in double over libm (std::log, std::cos, std::sin), its reference:
// the radius uniform is u = min(fl(fl(m) + 1/2), 2^31 - 128) / 2^31 for the top 31 bits m of the word
// (fl: rounded to a float), so 2^-32 <= u <= 1 - 2^-24; the angle is (w mod 2^24 + 1/2) * 2 pi / 2^24;
// the pair is sqrt(-2 ln u) * (cos, sin) of the angle. Agrees with GaussianPairs to float rounding.
void PlainGaussianPair(uint64_t word, double& first, double& second);

}  // namespace gaussian_detail
}  // namespace tpc::link
