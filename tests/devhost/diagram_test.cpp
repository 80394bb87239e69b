// The development host's own machinery: tick timing and the meter at the end
// of a link. (The links through the library exercise the rest.)
#include <gtest/gtest.h>

#include "devhost/channel_blocks.h"
#include "devhost/diagram.h"
#include "devhost/host_blocks.h"

namespace devhost {
namespace {

TEST(Diagram, SourcePacingAndSinkRecording) {
    // A source at 3 samples per second: sample n is stamped n / 3 and arrives
    // in the first tick at or after that time. On a 10 Hz clock most stamps
    // fall between ticks; on a 9 Hz clock every third tick carries a sample
    // exactly, though tick * (1/9) may round to just below the stamp.
    for (double systemRate : {10.0, 9.0}) {
        Diagram d;
        auto& source = d.add<RandomBitSource>(3.0, 1);
        auto& sink = d.add<Sink>();
        d.connect(source, 0, sink, 0);
        ASSERT_TRUE(d.run(systemRate, static_cast<int64_t>(3 * systemRate) + 1).ok);  // to 3 s
        const auto& samples = sink.samples();
        ASSERT_EQ(samples.size(), 10u) << systemRate << " Hz";
        for (size_t n = 0; n < samples.size(); ++n) {
            SCOPED_TRACE(testing::Message() << systemRate << " Hz, sample " << n);
            EXPECT_DOUBLE_EQ(samples[n].time, n / 3.0);
            EXPECT_GE(samples[n].atTime + 1e-12, samples[n].time);
            EXPECT_LT(samples[n].atTime, samples[n].time + 1 / systemRate - 1e-12);
        }
    }
}

TEST(ChannelBlocks, MeterAlignsByLagAndCountsBlocks) {
    // Fed by hand: source bits on input 0, decoded bits on input 1.
    ErrorMeter meter(4, 3);
    SystemRecord system{};
    meter.init(system);
    const int source[] = {1, 0, 1, 1, 0, 0, 1, 0};
    const int decoded[] = {1, 1, 1, 1, 0, 1, 1, 1, 1, 1, 0};  // 3 skipped; 2 errors in block 2
    for (int t = 0; t < 11; ++t) {
        meter.input(0).noSample = t < 8 ? 0 : 1;
        if (t < 8) meter.input(0).value = source[t];
        meter.input(1).noSample = 0;
        meter.input(1).value = decoded[t];
        meter.run(system);
    }
    // Blocks, bits, bit errors, block errors: a block is wrong or not, however
    // many of its bits are.
    const tpc::link::LinkCounts& c = meter.counts();
    EXPECT_EQ((std::vector<int64_t>{c.blocks, c.bits, c.bitErrors, c.blockErrors}),
              (std::vector<int64_t>{2, 8, 2, 1}));

    const std::vector<uint8_t> ref = {1, 0, 0, 1, 1, 1, 0, 1};
    std::vector<uint8_t> late = {0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1};  // 5 late, to the end
    EXPECT_EQ(FindLag(ref, late, 8), 5);
    late[7] ^= 1;
    EXPECT_EQ(FindLag(ref, late, 8), -1);
}

}  // namespace
}  // namespace devhost
