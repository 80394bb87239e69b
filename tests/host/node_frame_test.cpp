// The pieces every node shares: phases, time tolerance, offsets, errors,
// state and buffer allocation.
#include <gtest/gtest.h>

#include "host/node_frame.h"

namespace {

TEST(NodeFrame, InitFlagWinsOverFinalFlag) {
    SystemRecord system{};
    EXPECT_EQ(PhaseOf(system), CallPhase::kRun);
    system.isFinalCall = 1;
    EXPECT_EQ(PhaseOf(system), CallPhase::kFinal);
    system.isInitCall = 7;  // any nonzero value
    EXPECT_EQ(PhaseOf(system), CallPhase::kInit);
    system.isFinalCall = 0;
    EXPECT_EQ(PhaseOf(system), CallPhase::kInit);
}

TEST(NodeFrame, TimeReachedWithinAStepOver1024) {
    SystemRecord system{};
    system.timeStep = 1.0 / 1024;  // tolerance 2^-20 s, exact in binary
    system.currentTime = 1.0;
    const double tol = 1.0 / (1024.0 * 1024.0);
    EXPECT_TRUE(TimeReached(1.0, system));
    EXPECT_TRUE(TimeReached(1.0 + tol, system));  // equality counts
    EXPECT_FALSE(TimeReached(1.0 + 2 * tol, system));
    EXPECT_TRUE(TimeReached(0.5, system));
}

TEST(NodeFrame, OffsetInBitsUsesTheInputPeriod) {
    EXPECT_DOUBLE_EQ(OffsetInSeconds(10, 1, 1000), 0.01);
    EXPECT_EQ(OffsetInSeconds(10, 0, 1000), 10.0);
    EXPECT_EQ(OffsetInSeconds(-3, 0, 1000), -3.0);
    EXPECT_EQ(OffsetInSeconds(10, 2, 4), 2.5);  // any nonzero flag means bits
}

TEST(NodeFrame, ErrorReportCopiesTheWholeMessage) {
    char buffer[160];
    std::memset(buffer, 'x', sizeof buffer);
    SystemRecord system{};
    system.errorText = buffer;
    EXPECT_EQ(ReportError(system, "Memory allocation error", 6), 6);
    EXPECT_STREQ(buffer, "Memory allocation error");
    EXPECT_EQ(buffer[sizeof "Memory allocation error"], 'x');  // nothing past the zero
}

struct DemoState {
    int32_t counter;
    double* buffer;
};

TEST(NodeFrame, StateIsZeroFilledOnceThenReused) {
    NodeInstance instance{};
    DemoState* first = AcquireState<DemoState>(instance);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->counter, 0);
    EXPECT_EQ(first->buffer, nullptr);
    first->counter = 42;
    EXPECT_EQ(AcquireState<DemoState>(instance), first);
    EXPECT_EQ(first->counter, 42);
    ReleaseState(instance);
    EXPECT_EQ(instance.state, nullptr);
}

TEST(NodeFrame, AllocationFailureInjection) {
    ResetAllocationCount();
    FailAllocationsAfter(2);
    double* a = nullptr;
    double* b = nullptr;
    double* c = nullptr;
    EXPECT_TRUE(AllocateBuffer(a, 4));
    EXPECT_TRUE(AllocateBuffer(b, 4));
    EXPECT_FALSE(AllocateBuffer(c, 4));
    EXPECT_EQ(c, nullptr);
    EXPECT_EQ(AllocationCount(), 2);
    FailAllocationsAfter(-1);
    EXPECT_TRUE(AllocateBuffer(c, 4));
    EXPECT_EQ(a[3], 0.0);
    ReleaseBuffer(a);
    ReleaseBuffer(b);
    ReleaseBuffer(c);
    EXPECT_EQ(a, nullptr);

    NodeInstance instance{};
    FailAllocationsAfter(0);
    EXPECT_EQ(AcquireState<DemoState>(instance), nullptr);
    EXPECT_EQ(instance.state, nullptr);
    FailAllocationsAfter(-1);
}

}  // namespace
