#include "sim/mpi/mpi_rank_group.h"

#include <mpi.h>

#include <stdexcept>

namespace tpcsim {

MpiRankGroup::MpiRankGroup(int* argc, char*** argv) {
    int provided = 0;
    MPI_Init_thread(argc, argv, MPI_THREAD_FUNNELED, &provided);
    MPI_Comm_rank(MPI_COMM_WORLD, &rank_);
    MPI_Comm_size(MPI_COMM_WORLD, &size_);
    MPI_Comm local;
    MPI_Comm_split_type(MPI_COMM_WORLD, MPI_COMM_TYPE_SHARED, 0, MPI_INFO_NULL, &local);
    MPI_Comm_size(local, &localSize_);
    MPI_Comm_free(&local);
}

MpiRankGroup::~MpiRankGroup() { MPI_Finalize(); }

void MpiRankGroup::allGather(const int64_t* mine, size_t count, int64_t* all) {
    if (count > static_cast<size_t>(INT32_MAX)) throw std::length_error("exchange too large for MPI");
    const int n = static_cast<int>(count);
    // MPI before 3.0 wants a non-const send buffer.
    MPI_Allgather(const_cast<int64_t*>(mine), n, MPI_INT64_T, all, n, MPI_INT64_T, MPI_COMM_WORLD);
}

}  // namespace tpcsim
