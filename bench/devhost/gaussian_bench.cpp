// Gaussian noise for the simulators: the batched GaussianStream against the
// one-at-a-time polar method of Random::gaussian (items = samples).
#include <benchmark/benchmark.h>

#include <vector>

#include "devhost/gaussian_stream.h"
#include "devhost/random.h"

namespace {

constexpr int kSamples = 4096;

void BM_GaussianStreamFill(benchmark::State& state) {
    devhost::GaussianStream stream(1);
    std::vector<double> out(kSamples);
    for (auto _ : state) {
        stream.fill(out.data(), out.size());
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_GaussianStreamFill);

void BM_GaussianStreamNext(benchmark::State& state) {
    devhost::GaussianStream stream(1);
    std::vector<double> out(kSamples);
    for (auto _ : state) {
        for (double& z : out) z = stream.next();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_GaussianStreamNext);

void BM_RandomGaussian(benchmark::State& state) {
    devhost::Random random(1);
    std::vector<double> out(kSamples);
    for (auto _ : state) {
        for (double& z : out) z = random.gaussian();
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_RandomGaussian);

}  // namespace
