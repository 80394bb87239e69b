// Gaussian noise for the simulators: GaussianStream read in arrays and one
// sample at a time (items = samples).
#include <benchmark/benchmark.h>

#include <vector>

#include "link/gaussian_stream.h"

namespace {

constexpr int kSamples = 4096;

void BM_GaussianStreamFill(benchmark::State& state) {
    tpc::link::GaussianStream stream(1);
    std::vector<float> out(kSamples);
    for (auto _ : state) {
        stream.fill(out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_GaussianStreamFill);

void BM_GaussianStreamNext(benchmark::State& state) {
    tpc::link::GaussianStream stream(1);
    std::vector<float> out(kSamples);
    for (auto _ : state) {
        for (float& z : out) z = stream.next();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_GaussianStreamNext);

}  // namespace
