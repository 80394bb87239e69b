// The plain and the fast product decoders side by side, in information bits
// per second (items = information bits; the info_Mbit/s counter says the same
// in megabits). One benchmark per code and operating point, one argument per
// implementation: 0 plain, 1 portable, 2 SSE2, 3 AVX2 (skipped when this
// build or CPU lacks it). Single thread.
//
// Blocks are random code blocks sent as BPSK +-1 through Gaussian noise of
// the sigma that the given Eb/N0 means at the code's rate, quantised as the
// decoder node does (resolution 5, quantLimit 1.4). A handful are prepared up
// front and decoded in turn; each iteration copies one block's channel values
// into the working buffer first (the decoder clips in place), so the copy is
// part of the figure, as it is part of the node's work. Weights 7/16.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"

using namespace tpc;

namespace {

constexpr int32_t kBlockCount = 8;
constexpr int32_t kResolution = 5;
constexpr double kQuantLimit = 1.4;
constexpr int32_t kWeight = 7;

// BPSK with unit amplitude: Eb = 1 / rate, N0 = 2 sigma^2.
double SigmaOf(double ebN0Db, double rate) {
    return std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, ebN0Db / 10.0)));
}

std::vector<std::vector<int32_t>> MakeNoisyBlocks(const ProductCode& c, double ebN0Db) {
    std::mt19937 rng(20261206u);
    std::normal_distribution<double> noise(0.0, SigmaOf(ebN0Db, c.Rate()));
    const int32_t n = c.N();
    std::vector<std::vector<int32_t>> blocks;
    std::vector<double> info(c.K()), received(n);
    std::vector<int32_t> block(n), channel(n);
    ProductEncoder encoder(c, false);
    for (int32_t b = 0; b < kBlockCount; ++b) {
        for (double& bit : info) bit = static_cast<double>(rng() & 1u);
        encoder.Encode(info.data(), block.data());
        for (int32_t i = 0; i < n; ++i) received[i] = (block[i] ? 1.0 : -1.0) + noise(rng);
        QuantizeBlock(kResolution, kQuantLimit, 0, received.data(), channel.data(), c.nx, c.ny,
                      c.kz, n);
        blocks.push_back(channel);
    }
    return blocks;
}

// state.range(0) is the ProductDecoderPath. Reports info_Mbit/s and the mean
// number of axis passes run.
void DecodeBlocks(benchmark::State& state, const ProductCode& c,
                  const std::vector<std::vector<int32_t>>& blocks, int32_t iterations,
                  uint32_t selectstp) {
    const auto path = static_cast<ProductDecoderPath>(state.range(0));
    if (!ProductDecoderPathAvailable(path)) {
        state.SkipWithError("not available on this build or CPU");
        return;
    }
    state.SetLabel(ProductDecoderPathName(path));
    ProductDecoder decoder(c, DecoderSettings{iterations, {kWeight, kWeight, kWeight}, selectstp != 0, path});
    std::vector<int32_t> channel(c.N()), decisions(c.N());
    size_t next = 0;
    int64_t passes = 0;
    for (auto _ : state) {
        const std::vector<int32_t>& source = blocks[next];
        next = (next + 1) % blocks.size();
        std::copy(source.begin(), source.end(), channel.begin());
        passes += decoder.Decode(channel.data(), decisions.data());
        benchmark::DoNotOptimize(decisions.data());
        benchmark::ClobberMemory();
    }
    const double infoBits = static_cast<double>(state.iterations()) * c.K();
    state.SetItemsProcessed(static_cast<int64_t>(infoBits));
    state.counters["info_Mbit/s"] = benchmark::Counter(infoBits / 1e6, benchmark::Counter::kIsRate);
    state.counters["passes"] =
        static_cast<double>(passes) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

void AllPaths(benchmark::internal::Benchmark* b) {
    b->ArgName("path");
    for (int32_t path = 0; path <= 3; ++path) b->Arg(path);
    b->Unit(benchmark::kMicrosecond);
}

const ProductCode kDefaultCode{64, 57, 64, 57, 1, 1};

// The default code at 64 passes, selective stop off: every block costs the
// same, whatever the noise (Eb/N0 3.5 dB).
void BM_FastDecodeDefault64Passes(benchmark::State& state) {
    static const auto blocks = MakeNoisyBlocks(kDefaultCode, 3.5);
    DecodeBlocks(state, kDefaultCode, blocks, 64, 0);
}
BENCHMARK(BM_FastDecodeDefault64Passes)->Apply(AllPaths);

// The default code with selective stop (at most 64 passes).
void BM_FastDecodeDefaultStop3p5dB(benchmark::State& state) {
    static const auto blocks = MakeNoisyBlocks(kDefaultCode, 3.5);
    DecodeBlocks(state, kDefaultCode, blocks, 64, 1);
}
BENCHMARK(BM_FastDecodeDefaultStop3p5dB)->Apply(AllPaths);

void BM_FastDecodeDefaultStop4dB(benchmark::State& state) {
    static const auto blocks = MakeNoisyBlocks(kDefaultCode, 4.0);
    DecodeBlocks(state, kDefaultCode, blocks, 64, 1);
}
BENCHMARK(BM_FastDecodeDefaultStop4dB)->Apply(AllPaths);

// (16,11)^3 at 64 passes (66 run: whole X-Y-Z cycles), selective stop off.
void BM_FastDecodeCube16(benchmark::State& state) {
    static const ProductCode code{16, 11, 16, 11, 16, 11};
    static const auto blocks = MakeNoisyBlocks(code, 3.5);
    DecodeBlocks(state, code, blocks, 64, 0);
}
BENCHMARK(BM_FastDecodeCube16)->Apply(AllPaths);

// (256,247)^2 at 64 passes, selective stop off.
void BM_FastDecodeLarge256(benchmark::State& state) {
    static const ProductCode code{256, 247, 256, 247, 1, 1};
    static const auto blocks = MakeNoisyBlocks(code, 3.5);
    DecodeBlocks(state, code, blocks, 64, 0);
}
BENCHMARK(BM_FastDecodeLarge256)->Apply(AllPaths);

}  // namespace
