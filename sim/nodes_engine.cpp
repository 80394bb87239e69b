#include "sim/nodes_engine.h"

#include "devhost/library.h"
#include "devhost/link.h"

namespace tpcsim {

namespace {

class NodesRunner : public UnitRunner {
public:
    NodesRunner(const devhost::Library& library, const tpc::link::LinkDescription& description) : link_(library, description) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override { return link_.run(blocks, seed); }

private:
    devhost::Link link_;
};

}  // namespace

struct NodesEngine::Loaded {
    explicit Loaded(const std::string& path) : library(path) {}
    devhost::Library library;
};

std::string NodesEngine::DefaultLibraryPath() { return devhost::DefaultLibraryPath(); }

NodesEngine::NodesEngine(const std::string& libraryPath) : loaded_(std::make_unique<Loaded>(libraryPath)) {}

NodesEngine::~NodesEngine() = default;

std::unique_ptr<UnitRunner> NodesEngine::runner(const tpc::link::LinkDescription& description) const {
    return std::make_unique<NodesRunner>(loaded_->library, description);
}

}  // namespace tpcsim
