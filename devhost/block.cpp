#include "devhost/block.h"

namespace devhost {

Block::Block(std::string name, int inputCount, int outputCount)
    : inputs_(static_cast<size_t>(inputCount)),
      outputs_(static_cast<size_t>(outputCount)),
      name_(std::move(name)) {
    for (PortRecord& p : inputs_) p.noSample = 1;
    for (PortRecord& p : outputs_) p.noSample = 1;
}

}  // namespace devhost
