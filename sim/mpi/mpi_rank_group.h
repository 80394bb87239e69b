// The ranks of an MPI job (MPI_COMM_WORLD) as a RankGroup. Only the thread
// that made it calls MPI; worker threads never do.
#pragma once

#include "sim/rank_group.h"

namespace tpcsim {

class MpiRankGroup : public RankGroup {
public:
    // Initialises MPI (singleton start when not under mpirun).
    MpiRankGroup(int* argc, char*** argv);
    ~MpiRankGroup() override;  // finalises MPI
    MpiRankGroup(const MpiRankGroup&) = delete;
    MpiRankGroup& operator=(const MpiRankGroup&) = delete;

    int rank() const override { return rank_; }
    int size() const override { return size_; }
    int ranksOnThisHost() const override { return localSize_; }
    void allGather(const int64_t* mine, size_t count, int64_t* all) override;

private:
    int rank_ = 0;
    int size_ = 1;
    int localSize_ = 1;
};

}  // namespace tpcsim
