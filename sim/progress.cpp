#include "sim/progress.h"

#include <algorithm>
#include <cstdio>

namespace tpcsim {

double PointSecondsLeft(const PointProgress& p, const StopRule& rule) {
    double done = static_cast<double>(p.counts.blockErrors) / static_cast<double>(rule.blockErrors);
    if (rule.maxBlocks > 0) {
        done = std::max(done, static_cast<double>(p.counts.blocks) / static_cast<double>(rule.maxBlocks));
    }
    if (done <= 0 || p.seconds <= 0) return -1;
    return p.seconds * (1 - std::min(done, 1.0)) / done;
}

std::string ProgressLine(int point, int pointCount, double ebN0Db, const PointProgress& p,
                         const StopRule& rule, int64_t infoBits) {
    const double bits = static_cast<double>(p.counts.blocks) * static_cast<double>(infoBits);
    const double ber = bits > 0 ? static_cast<double>(p.counts.bitErrors) / bits : 0.0;
    const double rate = p.seconds > 0 ? static_cast<double>(p.counts.blocks) / p.seconds : 0.0;
    const double left = PointSecondsLeft(p, rule);
    char eta[32] = "";
    if (left >= 0) std::snprintf(eta, sizeof eta, "  ~%.0f s left", left);
    char line[256];
    std::snprintf(line, sizeof line,
                  "point %d/%d  Eb/N0 %.2f dB  blocks %lld  errors %lld/%lld  BER %.2e  %.1f blocks/s%s",
                  point, pointCount, ebN0Db, static_cast<long long>(p.counts.blocks),
                  static_cast<long long>(p.counts.blockErrors),
                  static_cast<long long>(rule.blockErrors), ber, rate, eta);
    return line;
}

}  // namespace tpcsim
