// The pieces every node shares: phases, time tolerance, offsets. Error
// reports, the state record and allocation failures are exercised through
// the nodes themselves (tests/llr, tests/encoder, tests/decoder).
#include <gtest/gtest.h>

#include "host/node_frame.h"

namespace {

TEST(NodeFrame, InitFlagWinsOverFinalFlag) {
    const struct {
        uint32_t init, final;
        CallPhase phase;
    } cases[] = {{0, 0, CallPhase::kRun}, {0, 1, CallPhase::kFinal},
                 {7, 1, CallPhase::kInit}, {7, 0, CallPhase::kInit}};  // any nonzero init flag
    for (const auto& c : cases) {
        SystemRecord system{};
        system.isInitCall = c.init;
        system.isFinalCall = c.final;
        EXPECT_EQ(PhaseOf(system), c.phase) << c.init << " " << c.final;
    }
}

TEST(NodeFrame, TimeReachedWithinAStepOver1024) {
    SystemRecord system{};
    system.timeStep = 1.0 / 1024;  // tolerance 2^-20 s, exact in binary
    system.currentTime = 1.0;
    const double tol = 1.0 / (1024.0 * 1024.0);
    EXPECT_TRUE(TimeReached(0.5, system));
    EXPECT_TRUE(TimeReached(1.0 + tol, system));  // equality counts
    EXPECT_FALSE(TimeReached(1.0 + 2 * tol, system));
}

TEST(NodeFrame, OffsetInBitsUsesTheInputPeriod) {
    EXPECT_DOUBLE_EQ(OffsetInSeconds(10, 1, 1000), 0.01);
    EXPECT_EQ(OffsetInSeconds(-3, 0, 1000), -3.0);
    EXPECT_EQ(OffsetInSeconds(10, 2, 4), 2.5);  // any nonzero flag means bits
}

}  // namespace
