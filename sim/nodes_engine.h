// The nodes engine (--engine nodes): the link run sample by sample through
// the entry points of the library loaded by path, with the development
// host's diagram. The only part of tpcsim that knows the development host.
#pragma once

#include <memory>
#include <string>

#include "link/link_description.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

class NodesEngine {
public:
    // The library tpcsim loads: $TPC_LIBRARY, or the one built beside it.
    static std::string DefaultLibraryPath();

    // Loads the library; throws std::runtime_error with the reason.
    explicit NodesEngine(const std::string& libraryPath);
    ~NodesEngine();

    // A worker's link for one point; throws std::runtime_error with the
    // node's message when a node refuses the link.
    std::unique_ptr<UnitRunner> runner(const tpc::link::LinkDescription& description) const;

private:
    struct Loaded;
    std::unique_ptr<Loaded> loaded_;
};

}  // namespace tpcsim
