// The time comparison and offset conversion every node shares, at the
// boundaries no node-level run reaches exactly. Phases, error reports and
// the state record are exercised through the nodes (tests/nodes).
#include <gtest/gtest.h>

#include "host/node_frame.h"

namespace {

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
