#include "devhost/diagram.h"

#include <stdexcept>

namespace devhost {

int Diagram::indexOf(const Block& block) const {
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (blocks_[i].get() == &block) return static_cast<int>(i);
    }
    throw std::invalid_argument("block " + block.name() + " is not in this diagram");
}

void Diagram::connect(Block& from, int fromPort, Block& to, int toPort) {
    if (fromPort < 0 || fromPort >= from.outputCount()) {
        throw std::invalid_argument(from.name() + " has no output port " +
                                    std::to_string(fromPort));
    }
    if (toPort < 0 || toPort >= to.inputCount()) {
        throw std::invalid_argument(to.name() + " has no input port " + std::to_string(toPort));
    }
    const int f = indexOf(from);
    const int t = indexOf(to);
    for (const Wire& w : wires_) {
        if (w.toBlock == t && w.toPort == toPort) {
            throw std::invalid_argument(to.name() + " input " + std::to_string(toPort) +
                                        " is already wired");
        }
    }
    wires_.push_back({f, fromPort, t, toPort});
}

void Diagram::fillInputs(int blockIndex, bool wholeRecord) {
    Block& to = *blocks_[static_cast<size_t>(blockIndex)];
    for (const Wire& w : wiresInto_[static_cast<size_t>(blockIndex)]) {
        const PortRecord& source = blocks_[static_cast<size_t>(w.fromBlock)]->output(w.fromPort);
        PortRecord& target = to.input(w.toPort);
        if (wholeRecord) {
            target = source;
        } else {
            CopySignalDescription(source, target);
        }
    }
}

RunResult Diagram::init(double systemRate) {
    wiresInto_.assign(blocks_.size(), {});
    for (const Wire& w : wires_) wiresInto_[static_cast<size_t>(w.toBlock)].push_back(w);

    system_ = SystemRecord{};
    system_.systemRate = systemRate;
    system_.timeStep = 1.0 / systemRate;
    system_.errorText = errorText_;
    system_.isInitCall = 1;
    tick_ = 0;

    RunResult result;
    for (int i = 0; i < size(); ++i) {
        fillInputs(i, false);
        errorText_[0] = '\0';
        InitStatus status = blocks_[static_cast<size_t>(i)]->init(system_);
        if (status.code != 0) {
            result.ok = false;
            result.failedBlock = i;
            result.failedName = blocks_[static_cast<size_t>(i)]->name();
            result.code = status.code;
            result.message = status.message;
            break;
        }
    }
    system_.isInitCall = 0;
    return result;
}

void Diagram::step() {
    // Formed from the tick count, not accumulated, so that no rounding drift
    // builds up over long runs.
    system_.currentTime = static_cast<double>(tick_) * system_.timeStep;
    for (int i = 0; i < size(); ++i) {
        fillInputs(i, true);
        blocks_[static_cast<size_t>(i)]->run(system_);
    }
    ++tick_;
}

void Diagram::finish() {
    system_.isInitCall = 0;
    system_.isFinalCall = 1;
    for (auto& block : blocks_) block->finish(system_);
    system_.isFinalCall = 0;
}

RunResult Diagram::run(double systemRate, int64_t ticks) {
    RunResult result = init(systemRate);
    if (result.ok) {
        runTicks(ticks);
        result.ticks = tick_;
    }
    finish();
    return result;
}

}  // namespace devhost
