#include "sim/point_columns.h"

#include "sim/text_format.h"

namespace tpcsim {

namespace {

double Ber(const PointRecord& p) { return p.ber(); }
double BerLow(const PointRecord& p) { return p.berInterval().low; }
double BerHigh(const PointRecord& p) { return p.berInterval().high; }
double Fer(const PointRecord& p) { return p.fer(); }
double FerLow(const PointRecord& p) { return p.ferInterval().low; }
double FerHigh(const PointRecord& p) { return p.ferInterval().high; }
double Throughput(const PointRecord& p) { return p.infoMbitPerSecond(); }
double AveragePasses(const PointRecord& p) { return p.averagePasses(); }

}  // namespace

const std::vector<PointColumn>& PointColumns() {
    using P = PointRecord;
    using C = LinkCounts;
    static const std::vector<PointColumn> columns = {
        {"ebn0_db", "%.4f", nullptr, &P::ebN0Db},
        {"esn0_db", "%.4f", nullptr, &P::esN0Db},
        {"iterations", "%lld", nullptr, nullptr, nullptr, nullptr, false, &P::iterations, true},
        {"blocks", "%lld", &C::blocks},
        {"bits", "%lld", &C::bits},
        {"bit_errors", "%lld", &C::bitErrors},
        {"ber", "%.6e", nullptr, nullptr, nullptr, Ber},
        {"ber_low95", "%.6e", nullptr, nullptr, nullptr, BerLow},
        {"ber_high95", "%.6e", nullptr, nullptr, nullptr, BerHigh},
        {"block_errors", "%lld", &C::blockErrors},
        {"fer", "%.6e", nullptr, nullptr, nullptr, Fer},
        {"seconds", "%.3f", nullptr, &P::seconds},
        {"info_mbit_per_s", "%.4f", nullptr, nullptr, nullptr, Throughput},
        {"fer_low95", "%.6e", nullptr, nullptr, nullptr, FerLow},
        {"fer_high95", "%.6e", nullptr, nullptr, nullptr, FerHigh},
        {"avg_passes", "%.4f", nullptr, nullptr, nullptr, AveragePasses, true},
        // The nodes report the information bits alone, not the decisions.
        {"undetected_blocks", "%lld", &C::undetectedBlocks, nullptr, nullptr, nullptr, true},
        {"bit_errors_squared", nullptr, &C::bitErrorsSquared},
        {"passes", nullptr, &C::passes, nullptr, nullptr, nullptr, true},
        {"time_limited", nullptr, nullptr, nullptr, &P::timeLimited},
        {"units", nullptr, nullptr, nullptr, nullptr, nullptr, false, &P::units},
    };
    return columns;
}

nlohmann::ordered_json ColumnValue(const PointColumn& c, const PointRecord& p) {
    if (c.blockEngineOnly && !p.passesCounted) return nullptr;
    if (c.count != nullptr) return p.counts.*c.count;
    if (c.number != nullptr) return p.*c.number;
    if (c.flag != nullptr) return p.*c.flag;
    if (c.whole != nullptr) return p.*c.whole;
    return c.derived(p);
}

std::string ColumnCell(const PointColumn& c, const PointRecord& p) {
    if (c.blockEngineOnly && !p.passesCounted) return "";
    if (c.count != nullptr) return Format(c.csvFormat, static_cast<long long>(p.counts.*c.count));
    if (c.whole != nullptr) return Format(c.csvFormat, static_cast<long long>(p.*c.whole));
    return Format(c.csvFormat, c.number != nullptr ? p.*c.number : c.derived(p));
}

PointRecord PointFromJson(const nlohmann::ordered_json& json) {
    PointRecord p;
    for (const PointColumn& c : PointColumns()) {
        const auto it = json.find(c.name);
        if (it == json.end()) continue;
        if (c.count != nullptr && it->is_number_integer()) {
            p.counts.*c.count = it->get<int64_t>();
            if (c.blockEngineOnly) p.passesCounted = true;
        } else if (c.number != nullptr && it->is_number()) {
            p.*c.number = it->get<double>();
        } else if (c.flag != nullptr && it->is_boolean()) {
            p.*c.flag = it->get<bool>();
        } else if (c.whole != nullptr && it->is_number_integer()) {
            p.*c.whole = it->get<int64_t>();
        }
    }
    return p;
}

size_t CountColumns() {
    size_t n = 0;
    for (const PointColumn& c : PointColumns()) n += c.count != nullptr;
    return n;
}

void PackCounts(const LinkCounts& counts, int64_t* out) {
    for (const PointColumn& c : PointColumns()) {
        if (c.count != nullptr) *out++ = counts.*c.count;
    }
}

LinkCounts UnpackCounts(const int64_t* in) {
    LinkCounts counts;
    for (const PointColumn& c : PointColumns()) {
        if (c.count != nullptr) counts.*c.count = *in++;
    }
    return counts;
}

}  // namespace tpcsim
