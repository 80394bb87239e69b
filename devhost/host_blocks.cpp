#include "devhost/host_blocks.h"

namespace devhost {

RandomBitSource::RandomBitSource(double rate, uint64_t seed)
    : Block("random bits", 0, 1), rate_(rate), seed_(seed), bits_(seed) {}

InitStatus RandomBitSource::init(SystemRecord&) {
    bits_.reseed(seed_);
    emitted_ = 0;
    PortRecord& out = output(0);
    out = PortRecord{};
    out.rate = rate_;
    out.time = 0.0;
    out.noSample = 1;
    return {};
}

void RandomBitSource::run(SystemRecord& system) {
    PortRecord& out = output(0);
    const double due = static_cast<double>(emitted_) / rate_;
    if (due - system.timeStep / 1024 <= system.currentTime) {
        const int bit = bits_.next();
        out.value = bit;
        out.time = due;
        out.noSample = 0;
        ++emitted_;
    } else {
        out.noSample = 1;
    }
}

Sink::Sink(int inputCount)
    : Block("sink", inputCount, 0),
      samples_(static_cast<size_t>(inputCount)),
      initial_(static_cast<size_t>(inputCount)) {}

InitStatus Sink::init(SystemRecord&) {
    for (auto& s : samples_) s.clear();
    for (int p = 0; p < inputCount(); ++p) initial_[static_cast<size_t>(p)] = input(p);
    return {};
}

void Sink::run(SystemRecord& system) {
    for (int p = 0; p < inputCount(); ++p) {
        const PortRecord& in = input(p);
        if (in.noSample == 0) {
            samples_[static_cast<size_t>(p)].push_back({in.value, in.time, system.currentTime});
        }
    }
}

}  // namespace devhost
