// Throughput of the component soft decoders on noisy words, in words per
// second. Every iteration copies one pre-generated word into the working
// buffers (the decoders work in place), so the copy is part of the figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "decoder/hamming_decoder.h"
#include "decoder/parity_decoder.h"
#include "decoder/word_steps.h"
#include "encoder/hamming_encoder.h"

using namespace tpc;

namespace {

constexpr int32_t kWordCount = 1024;

struct NoisyWords {
    int32_t n;
    std::vector<uint8_t> hard;
    std::vector<int32_t> soft;
};

// Random codewords sent as +-1 through Gaussian noise (sigma 0.6), then
// sliced to a hard bit and a reliability of |y| in steps of 1/16.
NoisyWords MakeNoisyWords(int32_t n, bool hamming) {
    std::mt19937 rng(20240611u + static_cast<uint32_t>(n));
    std::normal_distribution<double> noise(0.0, 0.6);
    NoisyWords words{n, std::vector<uint8_t>(size_t(n) * kWordCount), std::vector<int32_t>(size_t(n) * kWordCount)};
    std::vector<int32_t> word(n), parity(16);
    for (int32_t w = 0; w < kWordCount; ++w) {
        for (int32_t& bit : word) bit = static_cast<int32_t>(rng() & 1u);
        if (hamming) {
            EncodeHammingWord(n, word.data(), parity.data());
        } else {
            EncodeParityWord(n, word.data());
        }
        for (int32_t i = 0; i < n; ++i) {
            const double y = (word[i] ? 1.0 : -1.0) + noise(rng);
            words.hard[size_t(w) * n + i] = y > 0.0 ? 1 : 0;
            words.soft[size_t(w) * n + i] = std::min(static_cast<int32_t>(std::fabs(y) * 16.0), SoftLimit);
        }
    }
    return words;
}

template <typename Decode>
void RunWords(benchmark::State& state, const NoisyWords& words, Decode decode) {
    const int32_t n = words.n;
    std::vector<uint8_t> hard(n);
    std::vector<int32_t> soft(n);
    uint8_t kept = 0, corrected = 0;
    int32_t w = 0;
    for (auto _ : state) {
        std::memcpy(hard.data(), &words.hard[size_t(w) * n], size_t(n));
        std::memcpy(soft.data(), &words.soft[size_t(w) * n], sizeof(int32_t) * size_t(n));
        decode(n, hard.data(), soft.data(), &kept, &corrected);
        benchmark::DoNotOptimize(soft.data());
        benchmark::DoNotOptimize(kept);
        benchmark::DoNotOptimize(corrected);
        benchmark::ClobberMemory();
        w = (w + 1) % kWordCount;
    }
    state.counters["words/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_DecodeHammingWord(benchmark::State& state) {
    const NoisyWords words = MakeNoisyWords(static_cast<int32_t>(state.range(0)), true);
    RunWords(state, words, DecodeHammingWord);
}
BENCHMARK(BM_DecodeHammingWord)->Arg(8)->Arg(16)->Arg(32)->Arg(64)->Arg(128)->Arg(256);

void BM_DecodeParityWord(benchmark::State& state) {
    const NoisyWords words = MakeNoisyWords(static_cast<int32_t>(state.range(0)), false);
    RunWords(state, words, DecodeParityWord);
}
BENCHMARK(BM_DecodeParityWord)->Arg(64);

}  // namespace
