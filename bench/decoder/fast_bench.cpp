// The product decoder's paths side by side at the waterfall, where users
// simulate, in information bits per second (items = information bits; the
// info_Mbit/s counter says the same in megabits). Single thread.
//
// Names read code/mode/Eb-N0/path:N, N being the ProductDecoderPath: 0 plain,
// 1 portable, 2 SSE2, 3 AVX2, 4 AVX-512BW (skipped where this build or CPU
// lacks it). Counters: passes, the axis passes a block's result stands for
// (what the plain path computes); computed, the passes actually decoded (the
// lane paths stop at a fixed point).
//
// Blocks are random code blocks sent as BPSK +-1 through Gaussian noise of
// the sigma that the given Eb/N0 means at the code's rate, quantised as the
// decoder node does (resolution 5, quantLimit 1.4). A set is prepared up
// front and decoded in turn; each iteration copies one block's channel values
// into the working buffer first (the decoder clips in place), so the copy is
// part of the figure, as it is part of the node's work. Weights 7/16.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "decoder/product_decoder.h"
#include "decoder/quantizer.h"
#include "encoder/product_encoder.h"

using namespace tpc;

namespace {

constexpr int32_t kResolution = 5;
constexpr double kQuantLimit = 1.4;
constexpr int32_t kWeight = 7;
constexpr int32_t kPathCount = 5;

// BPSK with unit amplitude: Eb = 1 / rate, N0 = 2 sigma^2.
double SigmaOf(double ebN0Db, double rate) {
    return std::sqrt(1.0 / (2.0 * rate * std::pow(10.0, ebN0Db / 10.0)));
}

std::vector<std::vector<int32_t>> MakeNoisyBlocks(const ProductCode& c, double ebN0Db,
                                                  int32_t count) {
    std::mt19937 rng(20261206u);
    std::normal_distribution<double> noise(0.0, SigmaOf(ebN0Db, c.Rate()));
    const int32_t n = c.N();
    std::vector<std::vector<int32_t>> blocks;
    std::vector<double> info(c.K()), received(n);
    std::vector<int32_t> block(n), channel(n);
    ProductEncoder encoder(c, false);
    for (int32_t b = 0; b < count; ++b) {
        for (double& bit : info) bit = static_cast<double>(rng() & 1u);
        encoder.Encode(info.data(), block.data());
        for (int32_t i = 0; i < n; ++i) received[i] = (block[i] ? 1.0 : -1.0) + noise(rng);
        QuantizeBlock(kResolution, kQuantLimit, 0, received.data(), channel.data(), c.nx, c.ny,
                      c.kz, n);
        blocks.push_back(channel);
    }
    return blocks;
}

struct Case {
    const char* name;  // code/mode/Eb-N0
    ProductCode code;
    double ebN0Db;
    int32_t iterations;
    bool selectiveStop;
    int32_t blocks;  // prepared and decoded in turn
};

void DecodeBlocks(benchmark::State& state, const Case& c) {
    const auto path = static_cast<ProductDecoderPath>(state.range(0));
    if (!ProductDecoderPathAvailable(path)) {
        state.SkipWithError("not available on this build or CPU");
        return;
    }
    static std::vector<std::vector<int32_t>> blocks;
    static const Case* made = nullptr;
    if (made != &c) blocks = MakeNoisyBlocks(c.code, c.ebN0Db, c.blocks), made = &c;

    state.SetLabel(ProductDecoderPathName(path));
    ProductDecoder decoder(
        c.code, DecoderSettings{c.iterations, {kWeight, kWeight, kWeight}, c.selectiveStop, path});
    std::vector<int32_t> channel(c.code.N()), decisions(c.code.N());
    size_t next = 0;
    int64_t passes = 0, computed = 0;
    for (auto _ : state) {
        const std::vector<int32_t>& source = blocks[next];
        next = (next + 1) % blocks.size();
        std::copy(source.begin(), source.end(), channel.begin());
        passes += decoder.Decode(channel.data(), decisions.data());
        computed += decoder.passesComputed();
        benchmark::DoNotOptimize(decisions.data());
        benchmark::ClobberMemory();
    }
    const double blocksRun = static_cast<double>(std::max<int64_t>(state.iterations(), 1));
    const double infoBits = static_cast<double>(state.iterations()) * c.code.K();
    state.SetItemsProcessed(static_cast<int64_t>(infoBits));
    state.counters["info_Mbit/s"] = benchmark::Counter(infoBits / 1e6, benchmark::Counter::kIsRate);
    state.counters["passes"] = static_cast<double>(passes) / blocksRun;
    state.counters["computed"] = static_cast<double>(computed) / blocksRun;
}

const ProductCode kDefault{64, 57, 64, 57, 1, 1};
const ProductCode kCube16{16, 11, 16, 11, 16, 11};
const ProductCode kLarge256{256, 247, 256, 247, 1, 1};

// The default code across its waterfall (BER about 5e-2 at 2.5 dB, 5e-5 at
// 3.0 dB, below 1e-6 at 3.5 dB), and the other two shapes at theirs.
const Case kCases[] = {
    {"FastDecode/default/64passes/2.5dB", kDefault, 2.5, 64, false, 64},
    {"FastDecode/default/64passes/3.0dB", kDefault, 3.0, 64, false, 64},
    {"FastDecode/default/64passes/3.5dB", kDefault, 3.5, 64, false, 64},
    {"FastDecode/default/stop/3.0dB", kDefault, 3.0, 64, true, 64},
    {"FastDecode/default/stop/4.0dB", kDefault, 4.0, 64, true, 64},
    {"FastDecode/cube16/64passes/1.5dB", kCube16, 1.5, 64, false, 64},
    {"FastDecode/large256/64passes/4.25dB", kLarge256, 4.25, 64, false, 16},
};

const bool kRegistered = [] {
    for (const Case& c : kCases) {
        benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& s) { DecodeBlocks(s, c); })
            ->ArgName("path")
            ->DenseRange(0, kPathCount - 1)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

}  // namespace
