// Soak run of the coded links through the development host: many blocks in
// repeated runs (each a full init, run and final cycle of every node), with
// the process's resident memory read before, during and after.
//
//   tpc_soak <bpsk|16qam> <blocks> [blocks per run] [library]
//
// The code is the default (64, 57) x (64, 57) with selective stop (at most
// 64 axis passes), at Eb/N0 3.5 dB (BPSK) or 6.5 dB (16QAM): 100,000 blocks
// take a minute or two.
// Exit status 1 when resident memory grew by more than kAllowedGrowthKb.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>

#include "devhost/library.h"
#include "devhost/link.h"

namespace {

// Room for the C library's arenas settling after the first runs.
constexpr long kAllowedGrowthKb = 1024;
constexpr long long kRunsToJudgeMemory = 10;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
        std::getline(status, key);
    }
    return -1;
}

devhost::LinkDescription SoakLink(const std::string& kind) {
    devhost::LinkDescription c;
    c.decoder.selectiveStop = true;
    c.ebN0Db = 3.5;
    if (kind == "16qam") {
        c.constellation = std::string(TPC_SOURCE_DIR) + "/examples/constellations/16qam.txt";
        c.points = 16;
        c.llrLimit = 1.5;
        c.ebN0Db = 6.5;  // where 16QAM decodes most blocks, as BPSK does at 3.5 dB
    } else if (kind != "bpsk") {
        throw std::runtime_error("link kind must be bpsk or 16qam");
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <bpsk|16qam> <blocks> [blocks per run] [library]\n",
                     argv[0]);
        return 2;
    }
    try {
        const std::string kind = argv[1];
        const long long blocks = std::atoll(argv[2]);
        const long long perRun = argc > 3 ? std::atoll(argv[3]) : 1000;
        devhost::Library library(argc > 4 ? argv[4] : devhost::DefaultLibraryPath());
        devhost::Link link(library, SoakLink(kind));

        link.run(perRun, 1);  // warm-up: the allocator's arenas reach their size
        const long startKb = ResidentKb();
        long peakKb = startKb;
        devhost::LinkCounts total;
        const auto started = std::chrono::steady_clock::now();
        uint64_t seed = 2;
        for (long long done = 0; done < blocks; done += perRun) {
            const long long n = blocks - done < perRun ? blocks - done : perRun;
            total += link.run(n, seed++);
            const long kb = ResidentKb();
            if (kb > peakKb) peakKb = kb;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        const long endKb = ResidentKb();
        std::printf("%s link, (64,57)x(64,57) code, selective stop: %lld blocks in %lld runs, %.1f s, BER %.3g, "
                    "FER %.3g\n",
                    kind.c_str(), static_cast<long long>(total.blocks),
                    (blocks + perRun - 1) / perRun, seconds,
                    total.bits > 0 ? static_cast<double>(total.bitErrors) / total.bits : 0.0,
                    total.blocks > 0 ? static_cast<double>(total.blockErrors) / total.blocks
                                     : 0.0);
        std::printf("VmRSS start %ld kB, end %ld kB, peak %ld kB, growth %ld kB\n", startKb,
                    endKb, peakKb, endKb - startKb);
        if (total.blocks < blocks) {
            std::printf("FAIL: only %lld of %lld blocks were measured\n",
                        static_cast<long long>(total.blocks), blocks);
            return 1;
        }
        // A few runs (as under valgrind, whose own memory moves) prove nothing.
        if (blocks / perRun < kRunsToJudgeMemory) {
            std::printf("(fewer than %lld runs: memory growth not judged)\n", kRunsToJudgeMemory);
        } else if (endKb - startKb > kAllowedGrowthKb) {
            std::printf("FAIL: resident memory grew by more than %ld kB\n", kAllowedGrowthKb);
            return 1;
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tpc_soak: %s\n", e.what());
        return 1;
    }
}
