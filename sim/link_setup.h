// From tpcsim's options to the development host's link: the node parameter
// blocks, the sweep points in Eb/N0, and the runner that a worker owns.
#pragma once

#include <memory>
#include <vector>

#include "devhost/block_link.h"
#include "devhost/library.h"
#include "devhost/link.h"
#include "sim/options.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

// `defaults` (the library's default blocks, from devhost::DefaultLinkConfig)
// with every setting of `options` written over them, at the given Eb/N0.
devhost::LinkConfig MakeLinkConfig(const SimOptions& options, const devhost::LinkConfig& defaults,
                                   double ebN0Db);

// K, N and bits per symbol of the options' link (no library needed).
devhost::LinkGeometry GeometryOfOptions(const SimOptions& options);

// The sweep points in Eb/N0, dB (Es/N0 sweeps converted with the code rate
// and bits per symbol).
std::vector<double> SweepEbN0(const SimOptions& options);

// A worker's link for one point, through the nodes' entry points.
class LinkRunner : public UnitRunner {
public:
    LinkRunner(const devhost::Library& library, const devhost::LinkConfig& config)
        : link_(library, config) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override { return link_.run(blocks, seed); }

private:
    devhost::Link link_;
};

// A worker's link for one point, a block at a time.
class BlockRunner : public UnitRunner {
public:
    explicit BlockRunner(const devhost::LinkConfig& config) : link_(config) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override { return link_.run(blocks, seed); }

private:
    devhost::BlockLink link_;
};

// The runner of the options' engine.
std::unique_ptr<UnitRunner> MakeRunner(const SimOptions& options, const devhost::Library& library,
                                       const devhost::LinkConfig& config);

}  // namespace tpcsim
