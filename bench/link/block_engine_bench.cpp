// tpcsim's block engine on the default code at the waterfall, in information
// bits per second of the whole link (source, encoder, noise, quantiser,
// decoder, meter), beside FastDecode/default/... for the decoder alone.
// Names read BlockLink/<mode>/<Eb-N0>/threads:T; each thread runs its own
// link, as tpcsim's workers do, on work units of 32 blocks. The fading modes
// run 64 passes over a fast or block Rayleigh channel, to be read against
// 64passes over AWGN: at 10 dB, where fast fading loses about as many blocks
// as AWGN does at 3 dB, and at 3 dB, where it loses every block and the
// decoder never meets the fixed point that ends a converged block early.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "link/block_engine.h"

namespace {

tpc::link::LinkDescription DefaultLink(double ebN0Db, bool selectiveStop, tpc::link::Fading fading, bool perBlock) {
    tpc::link::LinkDescription description;
    description.decoder.selectiveStop = selectiveStop;
    description.ebN0Db = ebN0Db;
    description.channel.fading = fading;
    description.channel.perBlock = perBlock;
    return description;
}

void RunLink(benchmark::State& state, double ebN0Db, bool selectiveStop, tpc::link::Fading fading, bool perBlock) {
    constexpr int64_t kBatch = 32;
    tpc::link::BlockEngine link(DefaultLink(ebN0Db, selectiveStop, fading, perBlock));
    uint64_t seed = 1 + static_cast<uint64_t>(state.thread_index()) * 1000003;
    int64_t bits = 0, passes = 0, blocks = 0;
    for (auto _ : state) {
        const tpc::link::LinkCounts counts = link.run(kBatch, seed++);
        bits += counts.bits;
        passes += counts.passes;
        blocks += counts.blocks;
    }
    state.SetItemsProcessed(bits);
    state.counters["info_Mbit/s"] =
        benchmark::Counter(static_cast<double>(bits) / 1e6, benchmark::Counter::kIsRate);
    state.counters["passes"] = benchmark::Counter(static_cast<double>(passes) / static_cast<double>(blocks),
                                                 benchmark::Counter::kAvgThreads);
}

void Register() {
    using tpc::link::Fading;
    struct Case {
        const char* name;
        double ebN0Db;
        bool selectiveStop;
        Fading fading;
        bool perBlock;
    };
    for (const Case& c : {Case{"BlockLink/64passes/3.0dB", 3.0, false, Fading::kNone, false},
                          Case{"BlockLink/stop/3.0dB", 3.0, true, Fading::kNone, false},
                          Case{"BlockLink/rayleigh/3.0dB", 3.0, false, Fading::kRayleigh, false},
                          Case{"BlockLink/rayleigh/10.0dB", 10.0, false, Fading::kRayleigh, false},
                          Case{"BlockLink/rayleigh-block/10.0dB", 10.0, false, Fading::kRayleigh, true}}) {
        benchmark::RegisterBenchmark(c.name, RunLink, c.ebN0Db, c.selectiveStop, c.fading, c.perBlock)
            ->Threads(1)
            ->Threads(2)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
    }
}

const int kRegistered = (Register(), 0);

}  // namespace
