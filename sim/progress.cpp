#include "sim/progress.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace tpcsim {

double PointSecondsLeft(const PointProgress& p, const StopRule& rule) {
    double done = static_cast<double>(p.counts.blockErrors) / static_cast<double>(rule.blockErrors);
    if (rule.maxBlocks > 0) {
        done = std::max(done, static_cast<double>(p.counts.blocks) / static_cast<double>(rule.maxBlocks));
    }
    if (done <= 0 || p.seconds <= 0) return -1;
    return p.seconds * (1 - std::min(done, 1.0)) / done;
}

namespace {

std::string Duration(double seconds) {
    char text[32];
    if (seconds < 120) {
        std::snprintf(text, sizeof text, "%.0f s", seconds);
    } else if (seconds < 7200) {
        std::snprintf(text, sizeof text, "%.0f min", seconds / 60);
    } else {
        std::snprintf(text, sizeof text, "%.1f h", seconds / 3600);
    }
    return text;
}

}  // namespace

std::string ProgressLine(int point, int pointCount, double ebN0Db, const PointProgress& p,
                         const StopRule& rule, int64_t infoBits, double left, double sweepLeft) {
    const double bits = static_cast<double>(p.counts.blocks) * static_cast<double>(infoBits);
    const double ber = bits > 0 ? static_cast<double>(p.counts.bitErrors) / bits : 0.0;
    const double rate = p.seconds > 0 ? static_cast<double>(p.counts.blocks) / p.seconds : 0.0;
    std::string eta;
    if (left >= 0) eta = "  point ~" + Duration(left);
    if (sweepLeft >= 0) eta += (eta.empty() ? "  sweep ~" : ", sweep ~") + Duration(sweepLeft);
    if (!eta.empty()) eta += " left";
    char line[256];
    std::snprintf(line, sizeof line,
                  "point %d/%d  Eb/N0 %.2f dB  blocks %lld  errors %lld/%lld  BER %.2e  %.1f blocks/s%s",
                  point, pointCount, ebN0Db, static_cast<long long>(p.counts.blocks),
                  static_cast<long long>(p.counts.blockErrors),
                  static_cast<long long>(rule.blockErrors), ber, rate, eta.c_str());
    return line;
}

}  // namespace tpcsim
