// Host-side blocks of a link: mappers, an AWGN channel and an error meter.
// Each passes a sample through in the tick it arrives.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "devhost/block.h"
#include "link/gaussian_stream.h"
#include "link/link_counts.h"
#include "link/link_description.h"

namespace devhost {

using tpc::link::Constellation;

// Bit b (0.0 or 1.0) to amplitude 2b - 1.
class BpskMapper : public Block {
public:
    BpskMapper() : Block("BPSK", 1, 1) {}
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;
};

// Collects m coded bits (the first is bit 0 of the label) and emits the
// point's I on output 0 and Q on output 1, at 1/m of the input rate.
class SymbolMapper : public Block {
public:
    explicit SymbolMapper(Constellation constellation);
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;

private:
    Constellation constellation_;
    int label_ = 0;
    int collected_ = 0;
};

// Adds independent Gaussian noise of standard deviation `sigma` to each of
// its ports (one port for BPSK, two for I and Q).
class AwgnChannel : public Block {
public:
    AwgnChannel(int ports, double sigma, uint64_t seed);
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;
    void setSigma(double sigma) { sigma_ = sigma; }
    // Takes effect at the next init call.
    void setSeed(uint64_t seed) { seed_ = seed; }

private:
    double sigma_;
    uint64_t seed_;
    tpc::link::GaussianStream noise_;
};

// Compares decoded information bits (input 1) with the source bits (input 0).
// The first `lag` decoded samples come from the blocks the chain emits before
// the first real block and are skipped; after that decoded bit i is source
// bit i. Errors are counted per block of `blockBits` bits.
class ErrorMeter : public Block {
public:
    ErrorMeter(int64_t blockBits, int64_t lag);
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;

    const tpc::link::LinkCounts& counts() const { return counts_; }
    int64_t blocks() const { return counts_.blocks; }
    // Every decoded sample, when capturing (to find the lag of a new chain).
    void setCapture(bool on) { capture_ = on; }
    void setLag(int64_t lag) { lag_ = lag; }
    const std::vector<uint8_t>& captured() const { return captured_; }
    const std::vector<uint8_t>& reference() const { return referenceCapture_; }

private:
    int64_t blockBits_;
    int64_t lag_;
    int64_t skipped_ = 0;
    std::deque<uint8_t> pending_;  // source bits not yet compared
    int64_t inBlock_ = 0;
    int64_t errorsInBlock_ = 0;
    tpc::link::LinkCounts counts_;
    bool capture_ = false;
    std::vector<uint8_t> captured_;
    std::vector<uint8_t> referenceCapture_;
};

// The smallest lag at which `decoded` repeats `reference` exactly over
// `window` bits, or -1. Used on a noiseless run to align a chain.
int64_t FindLag(const std::vector<uint8_t>& reference, const std::vector<uint8_t>& decoded,
                int64_t window);

}  // namespace devhost
