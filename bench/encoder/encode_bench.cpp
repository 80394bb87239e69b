// Throughput of the product block encoder, in information bits per second,
// for the default 2D block and a large 3D block, plain and interleaved.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "encoder/product_encoder.h"

namespace {

struct BlockShape {
    int32_t nx, ny, nz, kx, ky, kz;
};

void EncodeBlocks(benchmark::State& state, const BlockShape& b) {
    const uint32_t interleave = static_cast<uint32_t>(state.range(0));
    const int32_t blockSize = b.nx * b.ny * b.nz;
    const int32_t infoSize = b.kx * b.ky * b.kz;

    std::mt19937 rng(1);
    std::bernoulli_distribution bit(0.5);
    std::vector<double> input(infoSize);
    for (double& v : input) v = bit(rng) ? 1.0 : 0.0;
    std::vector<int32_t> output(blockSize), infoGrid(blockSize), codeBlock(blockSize);
    std::vector<int32_t> word(256), parity(70);

    for (auto _ : state) {
        EncodeProductBlock(interleave, input.data(), output.data(), infoGrid.data(),
                           codeBlock.data(), word.data(), parity.data(), b.nx, b.ny, b.nz, b.kx,
                           b.ky, b.kz, blockSize);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{infoSize});
}

void BM_EncodeDefault64x64(benchmark::State& state) {
    EncodeBlocks(state, BlockShape{64, 64, 1, 57, 57, 1});
}
BENCHMARK(BM_EncodeDefault64x64)->ArgName("interleave")->Arg(0)->Arg(1);

void BM_Encode64x64x64(benchmark::State& state) {
    EncodeBlocks(state, BlockShape{64, 64, 64, 57, 57, 57});
}
BENCHMARK(BM_Encode64x64x64)->ArgName("interleave")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
