// The one-line progress display of a running point (stderr, terminals only).
#pragma once

#include <cstdint>
#include <string>

#include "sim/sweep_engine.h"

namespace tpcsim {

// Seconds still needed by a point, from how far it is toward either stop
// rule; negative when nothing allows an estimate yet.
double PointSecondsLeft(const PointProgress& progress, const StopRule& rule);

// "point 3/8  Eb/N0 3.00 dB  blocks 1200  errors 37/100  BER 1.2e-05  45.1 blocks/s  point ~30 s,
// sweep ~2 min left"; the estimates (seconds, negative when unknown) are the caller's.
std::string ProgressLine(int point, int pointCount, double ebN0Db, const PointProgress& progress,
                         const StopRule& rule, int64_t infoBits, double pointSecondsLeft,
                         double sweepSecondsLeft);

}  // namespace tpcsim
