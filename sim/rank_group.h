// The processes of a distributed sweep as the sweep engine sees them: a rank
// number, the number of ranks, and one collective exchange. The plain build
// has a single rank; the MPI build (sim/mpi/) has one rank per process.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tpcsim {

class RankGroup {
public:
    virtual ~RankGroup() = default;
    virtual int rank() const = 0;
    virtual int size() const = 0;
    // Ranks sharing this rank's machine (this one included); sizes the
    // default thread count so that co-located ranks do not oversubscribe.
    virtual int ranksOnThisHost() const = 0;
    // Collective: every rank passes `count` values; `all` (count * size()
    // values) receives every rank's values in rank order.
    virtual void allGather(const int64_t* mine, size_t count, int64_t* all) = 0;
};

// The group of one process.
class SingleRank : public RankGroup {
public:
    int rank() const override { return 0; }
    int size() const override { return 1; }
    int ranksOnThisHost() const override { return 1; }
    void allGather(const int64_t* mine, size_t count, int64_t* all) override;
};

// Collective: true on every rank when `ok` is true on every rank.
bool AllRanksAgree(RankGroup& group, bool ok);

// Collective: the sum of `value` over all ranks.
int64_t SumOverRanks(RankGroup& group, int64_t value);

// Collective: the largest `value` of any rank.
int64_t MaxOverRanks(RankGroup& group, int64_t value);

}  // namespace tpcsim
