// A point of the sweep spread over the ranks of a RankGroup. The units are
// the sweep engine's (same unit sizes, same per-unit seeds); they are run in
// rounds of `unitsPerRank * ranks` units, unit u of a round on rank
// u mod ranks, spread over the rank's threads. After each round every rank
// has every unit's counts and sums them in unit order, applying the stop
// rule after each unit as RunPoint does, so all ranks end the point at the
// same unit and the counts equal a single process's with the same seed,
// whatever the number of ranks and threads and whichever stop rule ends it.
//
//   ranks 3, unitsPerRank 2:   round 0: units 0..5   rank 0: 0 3   rank 1: 1 4   rank 2: 2 5
//                              round 1: units 6..11  rank 0: 6 9   ...
//   gathered, summed 0 + 1 + 2 + ... until the rule is met after unit s;
//   the units of the round past s are discarded.
#pragma once

#include <atomic>
#include <cstdint>
#include <stdexcept>

#include "sim/rank_group.h"
#include "sim/sweep_engine.h"

namespace tpcsim {

// Units each rank runs per round with `threads` threads in its largest
// rank: a few per thread, so that threads rarely idle before the exchange.
int64_t UnitsPerRankPerRound(int maxThreadsPerRank);

// Raised on the ranks whose own units ran fine when another rank's runner
// threw; that rank rethrows its own exception instead.
class PeerRankFailed : public std::runtime_error {
public:
    explicit PeerRankFailed(int rank);
    int rank() const { return rank_; }

private:
    int rank_;
};

// Collective: every rank of `group` calls it with the same job (except
// `threads`, this rank's own) and the same `unitsPerRank`. `stop` (may be
// null) is polled between units; a stop raised on any rank ends the point
// on every rank at the end of the round, marked interrupted. `progress` is
// called after a round when `progressInterval` seconds have passed.
PointResult RunPointAcrossRanks(const PointJob& job, int64_t unitsPerRank, RankGroup& group,
                                const RunnerFactory& makeRunner, const std::atomic<bool>* stop,
                                const ProgressFn& progress, double progressInterval = 0.5);

}  // namespace tpcsim
