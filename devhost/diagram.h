// A diagram: blocks in calling order, wired output port to input port, run
// tick by tick at a fixed system rate through the three call phases.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "devhost/block.h"

namespace devhost {

struct Wire {
    int fromBlock, fromPort;
    int toBlock, toPort;
};

struct RunResult {
    bool ok = true;
    int failedBlock = -1;     // index of the block whose init failed
    std::string failedName;   // its name
    int32_t code = 0;         // its status
    std::string message;      // its errorText
    int64_t ticks = 0;        // run calls made per block
};

class Diagram {
public:
    // Adds a block at the end of the calling order and returns it.
    template <class B, class... Args>
    B& add(Args&&... args) {
        blocks_.push_back(std::make_unique<B>(std::forward<Args>(args)...));
        return static_cast<B&>(*blocks_.back());
    }
    int indexOf(const Block& block) const;
    Block& block(int index) { return *blocks_[static_cast<size_t>(index)]; }
    int size() const { return static_cast<int>(blocks_.size()); }

    // Wires `from`'s output port to `to`'s input port; throws on bad ports or
    // an input that is already wired.
    void connect(Block& from, int fromPort, Block& to, int toPort);

    // Initialisation calls in diagram order (each block's inputs first take
    // rate, time and port information of what feeds them). Stops at the
    // first nonzero status; the run then makes only the final calls.
    RunResult init(double systemRate);
    // One run call per block at t = tick * timeStep.
    void step();
    // Runs ticks until `ticks` run calls are made or `keepGoing` says stop
    // (checked after every tick).
    template <class Predicate>
    void runWhile(int64_t ticks, Predicate keepGoing) {
        for (int64_t i = 0; i < ticks && keepGoing(); ++i) step();
    }
    void runTicks(int64_t ticks) {
        runWhile(ticks, [] { return true; });
    }
    // Final calls in diagram order.
    void finish();
    // init, `ticks` run calls, finish.
    RunResult run(double systemRate, int64_t ticks);

    const SystemRecord& system() const { return system_; }
    int64_t tick() const { return tick_; }

private:
    void fillInputs(int blockIndex, bool wholeRecord);

    std::vector<std::unique_ptr<Block>> blocks_;
    std::vector<Wire> wires_;
    std::vector<std::vector<Wire>> wiresInto_;  // per block, rebuilt by init
    SystemRecord system_{};
    char errorText_[512] = {};
    int64_t tick_ = 0;
};

}  // namespace devhost
