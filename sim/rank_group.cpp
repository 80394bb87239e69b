#include "sim/rank_group.h"

#include <algorithm>
#include <vector>

namespace tpcsim {

void SingleRank::allGather(const int64_t* mine, size_t count, int64_t* all) {
    std::copy(mine, mine + count, all);
}

namespace {

std::vector<int64_t> GatherOne(RankGroup& group, int64_t value) {
    std::vector<int64_t> all(static_cast<size_t>(group.size()));
    group.allGather(&value, 1, all.data());
    return all;
}

}  // namespace

bool AllRanksAgree(RankGroup& group, bool ok) {
    const std::vector<int64_t> all = GatherOne(group, ok ? 1 : 0);
    return std::all_of(all.begin(), all.end(), [](int64_t v) { return v != 0; });
}

int64_t SumOverRanks(RankGroup& group, int64_t value) {
    int64_t sum = 0;
    for (int64_t v : GatherOne(group, value)) sum += v;
    return sum;
}

int64_t MaxOverRanks(RankGroup& group, int64_t value) {
    const std::vector<int64_t> all = GatherOne(group, value);
    return *std::max_element(all.begin(), all.end());
}

}  // namespace tpcsim
