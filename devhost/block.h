// A block of a development-host diagram: a library node or a host-side block
// (source, channel, mapper, meter). Every block owns its port records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/records.h"

namespace devhost {

// Outcome of an initialisation call.
struct InitStatus {
    int32_t code = 0;     // 0 on success
    std::string message;  // the node's errorText after a failure
};

// Copies what describes a signal (rate, time stamp, port information) and
// marks `to` as holding no sample: what reaches an input before an init call.
void CopySignalDescription(const PortRecord& from, PortRecord& to);

class Block {
public:
    Block(std::string name, int inputCount, int outputCount);
    virtual ~Block() = default;
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;

    const std::string& name() const { return name_; }
    int inputCount() const { return static_cast<int>(inputs_.size()); }
    int outputCount() const { return static_cast<int>(outputs_.size()); }
    PortRecord& input(int port) { return inputs_[static_cast<size_t>(port)]; }
    PortRecord& output(int port) { return outputs_[static_cast<size_t>(port)]; }

    // The three phases. The diagram fills the inputs before each call; a
    // block that holds nothing to release has nothing to do at the end.
    virtual InitStatus init(SystemRecord& system) = 0;
    virtual void run(SystemRecord& system) = 0;
    virtual void finish(SystemRecord&) {}

protected:
    std::vector<PortRecord> inputs_;
    std::vector<PortRecord> outputs_;  // contiguous, as the host lays them out

private:
    std::string name_;
};

}  // namespace devhost
