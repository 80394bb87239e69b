// Throughput of the product block encoders (the plain one and the bit-packed
// one), in information bits per second, for the default 2D block and a large
// 3D block, plain and interleaved.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "encoder/packed_product_encoder.h"
#include "encoder/product_encoder.h"

using namespace tpc;

namespace {

// Encoder is ProductEncoder (information bits as doubles, code bits as
// int32_t) or PackedProductEncoder (bytes both ways).
template <class Encoder, class InfoBit, class CodeBit>
void EncodeBlocks(benchmark::State& state, const ProductCode& code) {
    Encoder encoder(code, state.range(0) != 0);
    const int32_t infoSize = code.K();

    std::mt19937 rng(1);
    std::bernoulli_distribution bit(0.5);
    std::vector<InfoBit> input(infoSize);
    for (InfoBit& v : input) v = bit(rng) ? 1 : 0;
    std::vector<CodeBit> output(code.N());

    for (auto _ : state) {
        encoder.Encode(input.data(), output.data());
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{infoSize});
}

void BM_EncodeDefault64x64(benchmark::State& state) {
    EncodeBlocks<ProductEncoder, double, int32_t>(state, ProductCode{64, 57, 64, 57, 1, 1});
}
BENCHMARK(BM_EncodeDefault64x64)->ArgName("interleave")->Arg(0)->Arg(1);

void BM_EncodePackedDefault64x64(benchmark::State& state) {
    EncodeBlocks<PackedProductEncoder, uint8_t, uint8_t>(state, ProductCode{64, 57, 64, 57, 1, 1});
}
BENCHMARK(BM_EncodePackedDefault64x64)->ArgName("interleave")->Arg(0)->Arg(1);

void BM_Encode64x64x64(benchmark::State& state) {
    EncodeBlocks<ProductEncoder, double, int32_t>(state, ProductCode{64, 57, 64, 57, 64, 57});
}
BENCHMARK(BM_Encode64x64x64)->ArgName("interleave")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_EncodePacked64x64x64(benchmark::State& state) {
    EncodeBlocks<PackedProductEncoder, uint8_t, uint8_t>(state, ProductCode{64, 57, 64, 57, 64, 57});
}
BENCHMARK(BM_EncodePacked64x64x64)->ArgName("interleave")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
