// Throughput of the product block encoder, in information bits per second,
// for the default 2D block and a large 3D block, plain and interleaved.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "encoder/product_encoder.h"

using namespace tpc;

namespace {

void EncodeBlocks(benchmark::State& state, const ProductCode& code) {
    ProductEncoder encoder(code, state.range(0) != 0);
    const int32_t infoSize = code.K();

    std::mt19937 rng(1);
    std::bernoulli_distribution bit(0.5);
    std::vector<double> input(infoSize);
    for (double& v : input) v = bit(rng) ? 1.0 : 0.0;
    std::vector<int32_t> output(code.N());

    for (auto _ : state) {
        encoder.Encode(input.data(), output.data());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{infoSize});
}

void BM_EncodeDefault64x64(benchmark::State& state) {
    EncodeBlocks(state, ProductCode{64, 57, 64, 57, 1, 1});
}
BENCHMARK(BM_EncodeDefault64x64)->ArgName("interleave")->Arg(0)->Arg(1);

void BM_Encode64x64x64(benchmark::State& state) {
    EncodeBlocks(state, ProductCode{64, 57, 64, 57, 64, 57});
}
BENCHMARK(BM_Encode64x64x64)->ArgName("interleave")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
