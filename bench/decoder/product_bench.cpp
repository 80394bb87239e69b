// Throughput of the iterative product decoder on whole blocks, in blocks and
// information bits per second. The blocks are random code words sent as BPSK
// +-1 through Gaussian noise and quantised as the node does (5 bits, limit
// 1.4); a handful are prepared up front and decoded in turn. Each iteration
// copies one block's channel values into the working buffer first (the
// decoder clips in place), so the copy is part of the figure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"

namespace {

constexpr int32_t kBlockCount = 8;

struct BenchGeometry {
    int32_t nx, ny, nz, kx, ky, kz;
    int32_t N() const { return nx * ny * nz; }
    int32_t K() const { return kx * ky * kz; }
};

struct NoisyBlocks {
    BenchGeometry g;
    std::vector<std::vector<int32_t>> channels;
};

NoisyBlocks MakeNoisyBlocks(const BenchGeometry& g, double sigma) {
    std::mt19937 rng(20240612u);
    std::normal_distribution<double> noise(0.0, sigma);
    const int32_t n = g.N();
    NoisyBlocks blocks{g, {}};
    std::vector<double> info(g.K()), received(n);
    std::vector<int32_t> out(n), grid(n), block(n, 0), word(256), parity(16), channel(n);
    for (int32_t b = 0; b < kBlockCount; ++b) {
        for (double& bit : info) bit = static_cast<double>(rng() & 1u);
        EncodeProductBlock(0, info.data(), out.data(), grid.data(), block.data(), word.data(),
                           parity.data(), g.nx, g.ny, g.nz, g.kx, g.ky, g.kz, n);
        for (int32_t i = 0; i < n; ++i) received[i] = (block[i] ? 1.0 : -1.0) + noise(rng);
        QuantizeBlock(5, 1.4, 0, received.data(), channel.data(), g.nx, g.ny, g.kz, n);
        blocks.channels.push_back(channel);
    }
    return blocks;
}

// args: selective stop (0/1). Reports the mean number of axis passes run.
void DecodeBlocks(benchmark::State& state, const NoisyBlocks& blocks, int32_t iterations) {
    const BenchGeometry& g = blocks.g;
    const uint32_t selectstp = static_cast<uint32_t>(state.range(0));
    std::vector<int32_t> channel(g.N()), decisions(g.N()), a(g.N()), b(g.N());
    size_t next = 0;
    int64_t passes = 0;
    for (auto _ : state) {
        const std::vector<int32_t>& source = blocks.channels[next];
        next = (next + 1) % blocks.channels.size();
        std::copy(source.begin(), source.end(), channel.begin());
        DecodeProductBlock(iterations, selectstp, channel.data(), decisions.data(), g.nx, g.kx,
                           g.ny, g.ky, g.nz, g.kz, g.N(), 7, 7, 7, g.nx * g.ny, a.data(),
                           b.data());
        benchmark::DoNotOptimize(decisions.data());
        passes += DecoderPassCounter() - 1;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["info_bits/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * g.K(),
                           benchmark::Counter::kIsRate);
    state.counters["passes"] =
        static_cast<double>(passes) / static_cast<double>(std::max<int64_t>(state.iterations(), 1));
}

// The default block: 64 x 64, extended Hamming (64, 57) on X and Y, 64
// passes. Sigma 0.55 is Eb/N0 of about 3.2 dB at this rate.
void BM_DecodeDefault2D(benchmark::State& state) {
    static const NoisyBlocks blocks = MakeNoisyBlocks({64, 64, 1, 57, 57, 1}, 0.55);
    DecodeBlocks(state, blocks, 64);
}
BENCHMARK(BM_DecodeDefault2D)->ArgName("selectstp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A 3D block: 16 x 16 x 16, extended Hamming (16, 11) on every axis, 64
// passes (66 run: whole X-Y-Z cycles). Sigma 0.8 is Eb/N0 of about 3.9 dB
// at this lower rate.
void BM_DecodeCube3D(benchmark::State& state) {
    static const NoisyBlocks blocks = MakeNoisyBlocks({16, 16, 16, 11, 11, 11}, 0.8);
    DecodeBlocks(state, blocks, 64);
}
BENCHMARK(BM_DecodeCube3D)->ArgName("selectstp")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
