// The pass schedule's fixed-point exit against the same schedule run to the end, on a model decoder whose passes
// repeat once its state settles: every stop rule, pass count, store alternation and decision write must come out the
// same. Real blocks rarely reach some of these corners (a settled 3D block with selective stop and quiet passes).
#include "decoder/decoding_schedule.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>

#include "trial_count.h"

using namespace tpc;

namespace {

// What a pass writes is a tag: its axis and the cycle whose work it repeats. From cycle `settle` on every cycle
// repeats that cycle; the tracked passes (2D: Y; 3D: Y and Z) wrote the same already in the cycle before, which is
// what lets the schedule see it. Activities follow the same repetition.
template <bool kExit>
struct ModelRunner {
    static constexpr bool kFixedPointExit = kExit;
    bool threeD;
    int32_t settle;
    uint8_t activity[64][3];
    int32_t passes = 0;
    int32_t a = -1, b = -1, decisions = -1;

    int32_t Cycle() const { return passes / (threeD ? 3 : 2) + 1; }
    uint8_t RunPass(const PassPlan& plan) {
        const int32_t cycle = Cycle(), repeated = cycle < settle ? cycle : settle;
        const bool tracked = plan.axis != 0;
        const int32_t tag = plan.axis * 1000 + (tracked && cycle == settle - 1 ? settle : repeated);
        (plan.writeA ? a : b) = tag;
        if (plan.decisionsNeeded) decisions = tag;
        ++passes;
        return activity[repeated][plan.axis];
    }
    bool Settled() const { return Cycle() - 1 >= settle; }
    void SwapStores() { std::swap(a, b); }
};

TEST(DecodingSchedule, FixedPointExitEndsAsTheFullRun) {
    std::mt19937 rng(TestSeed(2612u));
    int32_t exits = 0;
    for (int32_t trial = 0; trial < 20000; ++trial) {
        const bool threeD = trial % 2, stop = trial / 2 % 2;
        ModelRunner<true> fast{threeD, 1 + static_cast<int32_t>(rng() % 12), {}};
        for (auto& cycle : fast.activity)
            for (uint8_t& act : cycle) act = rng() % 4 != 0;
        ModelRunner<false> full{fast.threeD, fast.settle, {}};
        std::copy(&fast.activity[0][0], &fast.activity[0][0] + sizeof fast.activity, &full.activity[0][0]);
        const int32_t iterations = static_cast<int32_t>(rng() % 40);
        const ScheduleOutcome quick = RunDecodingSchedule(iterations, stop, threeD, fast);
        const ScheduleOutcome slow = RunDecodingSchedule(iterations, stop, threeD, full);
        SCOPED_TRACE(testing::Message() << "3D " << threeD << " stop " << stop << " settle " << fast.settle
                                        << " iterations " << iterations << " trial " << trial);
        ASSERT_EQ(quick.passCounter, slow.passCounter);
        ASSERT_EQ(slow.passesComputed, slow.passCounter - 1);
        ASSERT_EQ(quick.passesComputed, fast.passes);
        ASSERT_EQ(fast.a, full.a);
        ASSERT_EQ(fast.b, threeD ? full.b : -1);
        ASSERT_EQ(fast.decisions, full.decisions);
        exits += quick.passesComputed < slow.passesComputed;
    }
    EXPECT_GT(exits, 1000);
}

}  // namespace
