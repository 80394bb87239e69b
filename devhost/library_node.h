// A node of the loaded library placed in a diagram: it owns the parameter
// block and the NodeInstance and calls the node's entry point.
#pragma once

#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

#include "devhost/block.h"
#include "devhost/library.h"

namespace devhost {

class LibraryNode : public Block {
public:
    // A node with its default parameter block.
    LibraryNode(const Library& library, const std::string& nodeName);
    ~LibraryNode() override;

    // The parameter block, to be edited between runs.
    std::vector<uint8_t>& block() { return block_; }
    template <class Params>
    Params& params() {
        static_assert(std::is_trivially_copyable_v<Params>);
        return *reinterpret_cast<Params*>(block_.data());
    }
    std::string description() { return library_.describe(index_, block_); }
    NodeInstance& instance() { return instance_; }

    InitStatus init(SystemRecord& system) override;
    void run(SystemRecord& system) override;
    void finish(SystemRecord& system) override;

private:
    const Library& library_;
    int32_t index_;
    NodeFn entry_;
    std::vector<uint8_t> block_;
    std::vector<PortRecord*> inputPointers_;
    NodeInstance instance_{};
};

}  // namespace devhost
