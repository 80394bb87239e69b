#include "devhost/block.h"

namespace devhost {

void CopySignalDescription(const PortRecord& from, PortRecord& to) {
    to.rate = from.rate;
    to.time = from.time;
    to.portInfo[0] = from.portInfo[0];
    to.portInfo[1] = from.portInfo[1];
    to.portInfo[2] = from.portInfo[2];
    to.noSample = 1;
}

Block::Block(std::string name, int inputCount, int outputCount)
    : inputs_(static_cast<size_t>(inputCount)),
      outputs_(static_cast<size_t>(outputCount)),
      name_(std::move(name)) {
    for (PortRecord& p : inputs_) p.noSample = 1;
    for (PortRecord& p : outputs_) p.noSample = 1;
}

}  // namespace devhost
