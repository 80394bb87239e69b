// The development host's own machinery: wiring, the init order, tick timing,
// and the host-side blocks of a link.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

#include "devhost/channel_blocks.h"
#include "devhost/diagram.h"
#include "devhost/host_blocks.h"

namespace devhost {
namespace {

// Records what it saw at init and the tick of every run call; its output
// doubles the rate and adds one to portInfo[1], so that the next block can
// tell whether it saw this block's init.
class Probe : public Block {
public:
    Probe(std::vector<std::string>* log, std::string name, int32_t failWith = 0)
        : Block(std::move(name), 1, 1), log_(log), failWith_(failWith) {}
    InitStatus init(SystemRecord& system) override {
        log_->push_back("init " + this->name());
        seenRate = input(0).rate;
        seenPortInfo = input(0).portInfo[1];
        output(0).rate = input(0).rate * 2;
        output(0).portInfo[1] = input(0).portInfo[1] + 1;
        if (failWith_ == 0) return {};
        std::strcpy(system.errorText, "probe refuses");
        return {failWith_, system.errorText};
    }
    void run(SystemRecord& system) override {
        times.push_back(system.currentTime);
        output(0) = input(0);
    }
    void finish(SystemRecord&) override { log_->push_back("final " + this->name()); }

    double seenRate = 0;
    uint32_t seenPortInfo = 0;
    std::vector<double> times;

private:
    std::vector<std::string>* log_;
    int32_t failWith_;
};

TEST(Diagram, InitInOrderPassesSignalDescriptionsDownstreamAndStopsAtAFailure) {
    for (int32_t aFails : {0, 5}) {
        std::vector<std::string> log;
        Diagram d;
        auto& source = d.add<RandomBitSource>(100.0, 7);
        auto& a = d.add<Probe>(&log, "a", aFails);
        auto& b = d.add<Probe>(&log, "b");
        d.connect(source, 0, a, 0);
        d.connect(a, 0, b, 0);
        const RunResult r = d.run(1000.0, 10);
        EXPECT_EQ(a.seenRate, 100.0);
        if (aFails == 0) {
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(b.seenRate, 200.0);  // a's output, written during a's init
            EXPECT_EQ(b.seenPortInfo, 1u);
            EXPECT_EQ(log, (std::vector<std::string>{"init a", "init b", "final a", "final b"}));
            ASSERT_EQ(a.times.size(), 10u);
            for (size_t k = 0; k < a.times.size(); ++k) EXPECT_EQ(a.times[k], k * (1.0 / 1000));
        } else {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.failedBlock, 1);
            EXPECT_EQ(r.failedName, "a");
            EXPECT_EQ(r.code, 5);
            EXPECT_EQ(r.message, "probe refuses");
            EXPECT_TRUE(a.times.empty());  // no run calls, but every block's final call
            EXPECT_EQ(log, (std::vector<std::string>{"init a", "final a", "final b"}));
        }
    }
}

TEST(Diagram, RejectsBadWiring) {
    std::vector<std::string> log;
    Diagram d;
    auto& source = d.add<RandomBitSource>(100.0, 7);
    auto& a = d.add<Probe>(&log, "a");
    Probe stranger(&log, "stranger");
    EXPECT_THROW(d.connect(source, 1, a, 0), std::invalid_argument);
    EXPECT_THROW(d.connect(source, 0, a, 1), std::invalid_argument);
    EXPECT_THROW(d.connect(stranger, 0, a, 0), std::invalid_argument);
    d.connect(source, 0, a, 0);
    EXPECT_THROW(d.connect(source, 0, a, 0), std::invalid_argument);  // already wired
}

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
        ASSERT_TRUE(d.run(systemRate, static_cast<int64_t>(3 * systemRate) + 1).ok);  // t = 0 ... 3.0
        const auto& samples = sink.samples();
        ASSERT_EQ(samples.size(), 10u) << systemRate << " Hz";
        for (size_t n = 0; n < samples.size(); ++n) {
            EXPECT_DOUBLE_EQ(samples[n].time, n / 3.0);
            EXPECT_GE(samples[n].atTime + 1e-12, samples[n].time) << systemRate << " Hz, sample " << n;
            EXPECT_LT(samples[n].atTime, samples[n].time + 1 / systemRate - 1e-12)
                << systemRate << " Hz, sample " << n;
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
    EXPECT_EQ(meter.blocks(), 2);
    EXPECT_EQ(meter.bits(), 8);
    EXPECT_EQ(meter.bitErrors(), 2);
    EXPECT_EQ(meter.blockErrors(), 1);  // a block is wrong or not, however many of its bits are

    const std::vector<uint8_t> ref = {1, 0, 0, 1, 1, 1, 0, 1};
    std::vector<uint8_t> late = {0, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0, 1};  // 5 bits late, ending the capture
    EXPECT_EQ(FindLag(ref, late, 8), 5);
    late[7] ^= 1;
    EXPECT_EQ(FindLag(ref, late, 8), -1);
}

TEST(ChannelBlocks, AwgnNoiseHasTheRequestedSpread) {
    AwgnChannel channel(1, 0.5, 42);
    SystemRecord system{};
    channel.init(system);
    double sum = 0, sumSquares = 0;
    const int n = 20000;
    for (int i = 0; i < n; ++i) {
        channel.input(0).noSample = 0;
        channel.input(0).value = 1.0;
        channel.run(system);
        const double noise = channel.output(0).value - 1.0;
        sum += noise;
        sumSquares += noise * noise;
    }
    EXPECT_NEAR(sum / n, 0.0, 0.02);
    EXPECT_NEAR(std::sqrt(sumSquares / n), 0.5, 0.01);
}

}  // namespace
}  // namespace devhost
