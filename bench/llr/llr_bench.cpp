// The LLR table: build time per constellation size (items = table cells) and
// the per-sample lookup, LocateLlrCell + FetchSymbolLlrs (items = samples).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "llr/llr_table.h"

using namespace tpc;

namespace {

// Square QAM (M = 4, 16, 64, 256) with unit mean energy; labels in any
// order serve for timing.
void SquareQam(int32_t M, std::vector<double>& pointI, std::vector<double>& pointQ) {
    const int32_t side = static_cast<int32_t>(std::lround(std::sqrt(M)));
    const double scale = 1.0 / std::sqrt(2.0 * (M - 1) / 3.0);
    pointI.assign(256, 0.0);
    pointQ.assign(256, 0.0);
    for (int32_t s = 0; s < M; ++s) {
        pointI[s] = (2 * (s % side) - (side - 1)) * scale;
        pointQ[s] = (2 * (s / side) - (side - 1)) * scale;
    }
}

void BM_BuildLlrTable(benchmark::State& state) {
    const int32_t M = static_cast<int32_t>(state.range(0));
    std::vector<double> pointI, pointQ;
    SquareQam(M, pointI, pointQ);
    std::vector<double> table(static_cast<size_t>(BitsPerSymbol(M)) * kTableCells);
    for (auto _ : state) {
        const bool built = BuildLlrTable(pointI.data(), pointQ.data(), table.data(), M, 1.5, kGridBits, 8.0).ok();
        benchmark::DoNotOptimize(built);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kTableCells});
}
BENCHMARK(BM_BuildLlrTable)->ArgName("M")->Arg(4)->Arg(16)->Arg(64)->Arg(256)->Unit(
    benchmark::kMillisecond);

void BM_LookupSample(benchmark::State& state) {
    const int32_t M = static_cast<int32_t>(state.range(0));
    const int32_t m = BitsPerSymbol(M);
    std::vector<double> pointI, pointQ;
    SquareQam(M, pointI, pointQ);
    std::vector<double> table(static_cast<size_t>(m) * kTableCells);
    BuildLlrTable(pointI.data(), pointQ.data(), table.data(), M, 1.5, kGridBits, 8.0);

    // Received samples: constellation points plus noise, some beyond the grid.
    constexpr int32_t kSamples = 4096;
    std::mt19937 rng(1);
    std::uniform_int_distribution<int32_t> point(0, M - 1);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<double> sampleI(kSamples), sampleQ(kSamples);
    for (int32_t i = 0; i < kSamples; ++i) {
        const int32_t s = point(rng);
        sampleI[i] = pointI[s] + noise(rng);
        sampleQ[i] = pointQ[s] + noise(rng);
    }

    int32_t llrs[10] = {};
    for (auto _ : state) {
        for (int32_t i = 0; i < kSamples; ++i) {
            int32_t row = 0, column = 0;
            LocateLlrCell(sampleI[i], sampleQ[i], 1.5, kGridBits, &row, &column);
            FetchSymbolLlrs(m, row, column, llrs, table.data());
            benchmark::DoNotOptimize(llrs);
        }
    }
    state.SetItemsProcessed(state.iterations() * int64_t{kSamples});
}
BENCHMARK(BM_LookupSample)->ArgName("M")->Arg(4)->Arg(16)->Arg(64)->Arg(256);

}  // namespace
