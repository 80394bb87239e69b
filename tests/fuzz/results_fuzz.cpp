// Any bytes as a results.json, through what --resume and merge do with one:
// the reader, the comparison of configurations, merging and pooling points,
// and the point written back as results.json and results.csv write it.
//
// Input layout: the file's text.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/point_columns.h"
#include "sim/result_store.h"

using namespace tpcsim;

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A point as results.json holds it, read back: what resume and merge see
// of a point tpcsim wrote.
void CheckRoundTrip(const PointRecord& point) {
    nlohmann::ordered_json row = nlohmann::ordered_json::object();
    for (const PointColumn& c : PointColumns()) {
        row[c.name] = ColumnValue(c, point);
        if (c.csvFormat != nullptr) ColumnCell(c, point);
    }
    const PointRecord back = PointFromJson(nlohmann::ordered_json::parse(row.dump()));
    const LinkCounts& a = point.counts;
    const LinkCounts& b = back.counts;
    if (a.blocks != b.blocks || a.bits != b.bits || a.bitErrors != b.bitErrors ||
        a.blockErrors != b.blockErrors || a.bitErrorsSquared != b.bitErrorsSquared ||
        a.passes != b.passes || a.undetectedBlocks != b.undetectedBlocks ||
        point.passesCounted != back.passesCounted || point.timeLimited != back.timeLimited ||
        point.units != back.units || !SameBits(point.ebN0Db, back.ebN0Db) ||
        !SameBits(point.esN0Db, back.esN0Db) || !SameBits(point.seconds, back.seconds)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    StoredRun run;
    try {
        run = ParseStoredRun(text, "results.json");
    } catch (const std::runtime_error&) {
        return 0;  // refused with a message: what tpcsim reports
    }
    // Every configuration matches itself, whatever keys it holds.
    if (!ConfigurationDifference(run.configuration, run.configuration).empty()) std::abort();
    ConfigurationDifference(nlohmann::ordered_json::object(), run.configuration, {"seed"});
    SeedList(run.seeds);

    for (bool sweepIsEsN0 : {false, true}) {
        const std::vector<PointRecord> merged = MergePoints({run.points, run.points}, sweepIsEsN0);
        if (merged.size() > run.points.size()) std::abort();
        try {
            PoolPoints({run.points, merged}, sweepIsEsN0);
        } catch (const std::runtime_error&) {
            // counts too large to add up: refused as merge refuses them
        }
    }
    for (const PointRecord& point : run.points) CheckRoundTrip(point);
    return 0;
}
