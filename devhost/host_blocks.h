// Host-side blocks of the development host: what the simulator around the
// library provides in a real diagram.
#pragma once

#include <cstdint>
#include <vector>

#include "devhost/block.h"
#include "link/random_bits.h"

namespace devhost {

// Emits seeded random bits (0.0 or 1.0) at `rate`: sample n is stamped n / rate
// and leaves in the first tick that reaches that time.
class RandomBitSource : public Block {
public:
    RandomBitSource(double rate, uint64_t seed);
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;

    int64_t emitted() const { return emitted_; }
    // Takes effect at the next init call.
    void setSeed(uint64_t seed) { seed_ = seed; }

private:
    double rate_;
    uint64_t seed_;
    tpc::link::RandomBits bits_;
    int64_t emitted_ = 0;
};

// Records every sample that reaches its inputs, with its time stamp.
class Sink : public Block {
public:
    struct Sample {
        double value;
        double time;
        double atTime;  // the tick in which it arrived
    };
    explicit Sink(int inputCount = 1);
    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;

    const std::vector<Sample>& samples(int port = 0) const {
        return samples_[static_cast<size_t>(port)];
    }
    // Rate, time and port information seen at init on each input.
    const PortRecord& initialInput(int port = 0) const {
        return initial_[static_cast<size_t>(port)];
    }

private:
    std::vector<std::vector<Sample>> samples_;
    std::vector<PortRecord> initial_;
};

}  // namespace devhost
