// The order of the axis passes of one block, written once for every
// implementation of the product decoder.
//
//   two dimensions (kz < 2):  X Y X Y ...     one store E (= A) that every
//                                             pass reads and overwrites
//   three dimensions:         X Y Z X Y Z ... stores A and B alternate, so
//                                             a pass reads the extrinsics
//                                             of the other two axes in A + B
//
// The pass counter starts at 1 and grows by one per pass. It is tested
// against the maximum only at the start of a cycle, so whole cycles run.
// With selective stop the decoding ends once the last pass (2D) or the last
// two passes (3D) made no correction.
//
// Fixed-point exit (the fast paths; the plain path runs every pass as the
// reference). A pass is a function of the channel values, which no pass
// changes, and of the stores it reads; it rewrites its whole target store
// and every decision it covers. So what a cycle does depends only on the
// stores the cycle starts from:
//   2D: E as the last Y pass left it. X reads E and overwrites it, Y reads
//       that and overwrites it again.
//   3D: the outputs of the last Y and Z passes, YZ and ZZ. X reads their
//       sum (A + B); Y reads X's output plus ZZ (the other store still
//       holds ZZ); Z reads X's and Y's outputs. Which store holds which
//       does not enter the sums.
// Call those the cycle's state; before the first cycle it is all zero (the
// zeroed stores). When a cycle ends in the state it started from, every
// later cycle repeats it exactly: the same stores, decisions and activity
// flags. The rest of the run then changes nothing but the pass counter and,
// in 3D, the alternation, which puts YZ and ZZ in each other's store after
// an odd number of further cycles; so the schedule skips to the end,
// swapping A and B in that case. The decisions are those of the repeated
// cycle's last pass, which therefore always writes them when the exit is on.
// With selective stop the repeated cycles meet their stop checks with the
// activities of the cycle just run (2D: Y's at the cycle start, X's after
// X; 3D: the last two passes before each pass, all of this cycle); when one
// of those checks would stop, the schedule runs on normally and stops there.
//
// Also here, so that every implementation inlines the same arithmetic: the
// channel clip and the weighted row input.
#pragma once

#include <cstdint>

#include "code/product_code.h"
#include "decoder/word_steps.h"

namespace tpc {

inline constexpr int32_t kChannelClip = 31;
inline constexpr int32_t kWeightDenominator = 16;

// One pass as the schedule asks for it.
struct PassPlan {
    int32_t axis;          // 0 X, 1 Y, 2 Z
    bool writeA;           // the pass's extrinsics go to A, else to B (2D: always A)
    bool decisionsNeeded;  // false when a later pass of the call rewrites every decision
    bool tracked;          // compare the pass's extrinsics with its own of the cycle before
};

struct ScheduleOutcome {
    int32_t passCounter;     // final pass counter, 1 + the passes the full run makes
    int32_t passesComputed;  // passes actually decoded (fewer after a fixed-point exit)
};

// The lines of one axis's pass: outerCount x innerCount lines, line (o, i)
// starting at o*outerStep + i*innerStep, its positions lineStride apart.
struct LineLayout {
    int32_t outerCount;
    int32_t outerStep;
    int32_t innerCount;
    int32_t innerStep;
    int32_t lineStride;
};

// The layouts of the X, Y and Z passes, lines ordered by the other two
// coordinates, the outer one first. X: z outer, y inner; Y: z outer, x
// inner; Z: y outer, x inner. In two dimensions X and Y cover the first
// plane only and Z is unused.
inline void PassLayouts(const ProductCode& c, bool threeDimensional, LineLayout layouts[3]) {
    const int32_t plane = c.PlaneSize();
    const int32_t layers = threeDimensional ? c.nz : 1;
    layouts[0] = LineLayout{layers, plane, c.ny, c.nx, 1};
    layouts[1] = LineLayout{layers, plane, c.nx, 1, c.nx};
    layouts[2] = LineLayout{c.ny, c.nx, c.nx, 1, plane};
}

// The pass counter after the rest of the run, from `passCounter` at a cycle
// start, cycles of `cycleLength` passes.
inline int32_t FinalPassCounter(int32_t passCounter, int32_t iterations, int32_t cycleLength) {
    if (passCounter > iterations) return passCounter;
    const int64_t cycles = (int64_t{iterations} - passCounter) / cycleLength + 1;
    return static_cast<int32_t>(passCounter + cycles * cycleLength);
}

// Runs the passes of one block. The runner decodes a pass with
// `uint8_t RunPass(const PassPlan&)`, returning its activity (nonzero when
// some line was corrected). With `kFixedPointExit` it also answers
// `bool Settled()`: whether the tracked passes of the cycle just run wrote
// exactly what they wrote the cycle before (the cycle's state repeated; it
// starts a new comparison), and does `SwapStores()`: exchanges A and B.
template <class Runner>
ScheduleOutcome RunDecodingSchedule(int32_t iterations, bool selectiveStop, bool threeDimensional,
                                    Runner& runner) {
    constexpr bool kExit = Runner::kFixedPointExit;
    ScheduleOutcome outcome{1, 0};
    int32_t& passCounter = outcome.passCounter;
    const auto run = [&](const PassPlan& plan) {
        ++outcome.passesComputed;
        ++passCounter;
        return runner.RunPass(plan);
    };
    uint8_t lastActivity = 1;
    if (!threeDimensional) {
        for (;;) {
            if (passCounter > iterations) break;
            if (selectiveStop && lastActivity == 0) break;
            // Without selective stop the cycle's Y pass is the last when the
            // next cycle start fails the count.
            const bool lastCycle = passCounter + 2 > iterations;
            lastActivity = run(PassPlan{0, true, selectiveStop, false});
            if (selectiveStop && lastActivity == 0) break;
            lastActivity = run(PassPlan{1, true, selectiveStop || lastCycle || kExit, kExit});
            if constexpr (kExit) {
                // X's activity passed its check just now; Y's meets the next
                // cycle start.
                const bool wouldStop = selectiveStop && lastActivity == 0;
                if (runner.Settled() && !wouldStop) {
                    passCounter = FinalPassCounter(passCounter, iterations, 2);
                    break;
                }
            }
        }
        return outcome;
    }
    uint8_t earlierActivity = 1;
    bool writeA = true;
    while (passCounter <= iterations) {
        const bool lastCycle = passCounter + 3 > iterations;
        uint8_t activity[3];
        for (int32_t axis = 0; axis < 3; ++axis) {
            if (selectiveStop && lastActivity == 0 && earlierActivity == 0) return outcome;
            earlierActivity = lastActivity;
            const bool lastPass = axis == 2 && (lastCycle || kExit);
            lastActivity = run(PassPlan{axis, writeA, selectiveStop || lastPass, kExit && axis != 0});
            activity[axis] = lastActivity;
            writeA = !writeA;
        }
        if constexpr (kExit) {
            // The next cycle checks (Z, Y) before X and (X, Z) before Y; its
            // check before Z, (Y, X), passed in this cycle already.
            const bool wouldStop =
                selectiveStop && ((activity[2] == 0 && activity[1] == 0) ||
                                  (activity[0] == 0 && activity[2] == 0));
            if (runner.Settled() && !wouldStop) {
                const int32_t final = FinalPassCounter(passCounter, iterations, 3);
                if ((final - passCounter) / 3 % 2 != 0) runner.SwapStores();
                passCounter = final;
                return outcome;
            }
        }
    }
    return outcome;
}

inline int32_t ClampMagnitude(int32_t value, int32_t limit) {
    return value > limit ? limit : (value < -limit ? -limit : value);
}

inline void ClipChannel(int32_t* channel, int32_t count) {
    for (int32_t e = 0; e < count; ++e) channel[e] = ClampMagnitude(channel[e], kChannelClip);
}

// Soft input of one position: channelValue + feedbackSum * weight / 16 (the
// division truncating toward zero), limited to +-SoftLimit.
inline int32_t RowInput(int32_t channelValue, int32_t feedbackSum, int32_t weight) {
    return ClampMagnitude(channelValue + feedbackSum * weight / kWeightDenominator, SoftLimit);
}

}  // namespace tpc
