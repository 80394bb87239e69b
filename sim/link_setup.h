// From tpcsim's options to the link: its description at an Eb/N0, the sweep
// points, and the block engine's runner that a worker owns.
#pragma once

#include <memory>
#include <vector>

#include "link/block_engine.h"
#include "link/link_description.h"
#include "sim/sim_options.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

// The link of `options` at the given Eb/N0, decoding with at most `passes`
// axis passes (one of options.iterations).
tpc::link::LinkDescription MakeLinkDescription(const SimOptions& options, double ebN0Db, int32_t passes);

// K, N and bits per symbol of the options' link.
tpc::link::LinkGeometry GeometryOfOptions(const SimOptions& options);

// The sweep points in Eb/N0, dB (Es/N0 sweeps converted with the code rate
// and bits per symbol).
std::vector<double> SweepEbN0(const SimOptions& options);

// A worker's link for one point, a block at a time.
class BlockRunner : public UnitRunner {
public:
    explicit BlockRunner(const tpc::link::LinkDescription& description) : engine_(description) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override { return engine_.run(blocks, seed); }
    void keepFailures(int32_t count) override { engine_.keepFailures(count); }
    const std::vector<FailedBlock>& failures() const override { return engine_.failures(); }

private:
    tpc::link::BlockEngine engine_;
};

}  // namespace tpcsim
