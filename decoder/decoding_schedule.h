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

// Runs the passes of one block; runPass(const PassPlan&) decodes every line of
// the pass's axis and returns its activity (nonzero when some line was
// corrected). Returns the final pass counter, 1 + the passes that ran.
template <class RunPass>
int32_t RunDecodingSchedule(int32_t iterations, bool selectiveStop, bool threeDimensional,
                            RunPass&& runPass) {
    int32_t passCounter = 1;
    uint8_t lastActivity = 1;
    if (!threeDimensional) {
        for (;;) {
            if (passCounter > iterations) break;
            if (selectiveStop && lastActivity == 0) break;
            // Without selective stop the cycle's Y pass is the last when the
            // next cycle start fails the count.
            const bool lastCycle = passCounter + 2 > iterations;
            lastActivity = runPass(PassPlan{0, true, selectiveStop});
            ++passCounter;
            if (selectiveStop && lastActivity == 0) break;
            lastActivity = runPass(PassPlan{1, true, selectiveStop || lastCycle});
            ++passCounter;
        }
        return passCounter;
    }
    uint8_t earlierActivity = 1;
    bool writeA = true;
    while (passCounter <= iterations) {
        const bool lastCycle = passCounter + 3 > iterations;
        for (int32_t axis = 0; axis < 3; ++axis) {
            if (selectiveStop && lastActivity == 0 && earlierActivity == 0) return passCounter;
            earlierActivity = lastActivity;
            lastActivity = runPass(PassPlan{axis, writeA, selectiveStop || (lastCycle && axis == 2)});
            writeA = !writeA;
            ++passCounter;
        }
    }
    return passCounter;
}

inline int32_t ClampMagnitude(int32_t value, int32_t limit) {
    return value > limit ? limit : (value < -limit ? -limit : value);
}

// Soft input of one position: channelValue + feedbackSum * weight / 16 (the
// division truncating toward zero), limited to +-SoftLimit.
inline int32_t RowInput(int32_t channelValue, int32_t feedbackSum, int32_t weight) {
    return ClampMagnitude(channelValue + feedbackSum * weight / kWeightDenominator, SoftLimit);
}

}  // namespace tpc
