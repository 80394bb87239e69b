// Fading gains against their distributions, the channel's use of them (one
// gain per block, the gain applied to the point), and the receiver's channel
// knowledge against the LLR table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "link/channel.h"
#include "link/fading.h"
#include "link/receiver.h"
#include "trial_count.h"

namespace tpc::link {
namespace {

ChannelModel Model(Fading fading, double ricianK = 0, bool perBlock = false) {
    ChannelModel model;
    model.fading = fading;
    model.ricianK = ricianK;
    model.perBlock = perBlock;
    return model;
}

// P(|h| <= r) for the Rice distribution of a gain of unit mean power with
// line-of-sight power K/(K+1) (K = 0: Rayleigh, 1 - exp(-r^2)), by Simpson's
// rule over its density on a grid of `step`.
std::vector<double> RiceCdf(double ricianK, double step, int cells) {
    const double nu = std::sqrt(ricianK / (ricianK + 1)), s2 = 0.5 / (ricianK + 1);
    const auto density = [&](double r) {
        return r / s2 * std::exp(-(r * r + nu * nu) / (2 * s2)) * std::cyl_bessel_i(0.0, r * nu / s2);
    };
    std::vector<double> cdf(static_cast<size_t>(cells) + 1, 0.0);
    for (int c = 0; c < cells; ++c) {
        const double a = c * step, b = a + step;
        cdf[c + 1] = cdf[c] + step / 6 * (density(a) + 4 * density((a + b) / 2) + density(b));
    }
    return cdf;
}

TEST(FadingGains, PowerAndEnvelopeFollowTheirDistributions) {
    const int n = RandomTrials(200000);
    // Kolmogorov-Smirnov at a significance of about 0.001.
    const double ksLimit = 1.95 / std::sqrt(static_cast<double>(n));
    constexpr double kStep = 1.0 / 1024;
    constexpr int kCells = 4 * 1024;  // |h| up to 4, where every CDF here is 1 to 1e-6
    for (const ChannelModel& model : {Model(Fading::kRayleigh), Model(Fading::kRician, 0), Model(Fading::kRician, 3),
                                      Model(Fading::kRician, 12)}) {
        SCOPED_TRACE(testing::Message() << "Rician K " << model.ricianK);
        FadingGains gains(model);
        gains.restart(TestSeed(77));
        std::vector<double> re(n), im(n), envelope(n);
        gains.fill(re.data(), im.data(), n);
        double power = 0, meanRe = 0, meanIm = 0;
        for (int s = 0; s < n; ++s) {
            power += re[s] * re[s] + im[s] * im[s];
            meanRe += re[s];
            meanIm += im[s];
            envelope[s] = std::hypot(re[s], im[s]);
        }
        EXPECT_NEAR(power / n, 1.0, 0.015);
        EXPECT_NEAR(meanRe / n, std::sqrt(model.ricianK / (model.ricianK + 1)), 0.01) << "line of sight";
        EXPECT_NEAR(meanIm / n, 0.0, 0.01);
        std::sort(envelope.begin(), envelope.end());
        const std::vector<double> cdf = RiceCdf(model.ricianK, kStep, kCells);
        double distance = 0;
        for (int s = 0; s < n; ++s) {
            const double x = envelope[s] / kStep;
            const int cell = std::min(static_cast<int>(x), kCells - 1);
            const double expected = cdf[cell] + (x - cell) * (cdf[cell + 1] - cdf[cell]);
            distance = std::max({distance, std::abs(expected - double(s) / n), std::abs(expected - double(s + 1) / n)});
        }
        EXPECT_LT(distance, ksLimit);
    }
}

// Fast fading reads the gain stream a gain per symbol, block fading one gain
// per call (a code block), every symbol of the block taking it; the point is
// multiplied by its gain (no noise here).
TEST(FadingChannel, GainsPerSymbolOrPerBlockMultiplyThePoints) {
    Constellation qpsk;
    qpsk.i = {1, -1, 1, -1};
    qpsk.q = {1, 1, -1, -1};
    qpsk.bitsPerSymbol = 2;
    const Constellation bpsk;
    constexpr int32_t kBlock = 10;  // 10 bits: 5 QPSK symbols, 10 BPSK ones
    const uint8_t bits[2][kBlock] = {{0, 1, 1, 0, 1, 1, 0, 0, 1, 0}, {1, 1, 0, 1, 0, 0, 1, 0, 1, 1}};
    for (bool perBlock : {false, true})
        for (const Constellation* points : {&bpsk, static_cast<const Constellation*>(&qpsk)}) {
            SCOPED_TRACE(testing::Message() << (perBlock ? "block" : "fast") << " fading, m " << points->bitsPerSymbol);
            const ChannelModel model = Model(Fading::kRayleigh, 0, perBlock);
            Channel channel(*points, kBlock, model);
            channel.restart(1);
            channel.restartGains(5);
            FadingGains reference(model);
            reference.restart(5);
            const int32_t m = points->i.empty() ? 1 : 2;
            for (int block = 0; block < 2; ++block) {
                double i[kBlock], q[kBlock], gainI[kBlock], gainQ[kBlock], hI[kBlock], hQ[kBlock];
                const int32_t count = channel.fadedSymbols(bits[block], nullptr, 0, 0.0, i, q, gainI, gainQ);
                ASSERT_EQ(count, kBlock / m);
                reference.fill(hI, hQ, perBlock ? 1 : count);
                for (int32_t s = 0; s < count; ++s) {
                    const int32_t g = perBlock ? 0 : s;
                    EXPECT_EQ(gainI[s], hI[g]) << "symbol " << s;
                    EXPECT_EQ(gainQ[s], hQ[g]) << "symbol " << s;
                    const int label = m == 1 ? bits[block][s] : bits[block][2 * s] | bits[block][2 * s + 1] << 1;
                    const double x = m == 1 ? 2.0 * label - 1 : points->i[label], y = m == 1 ? 0 : points->q[label];
                    EXPECT_DOUBLE_EQ(i[s], hI[g] * x - hQ[g] * y);
                    EXPECT_DOUBLE_EQ(q[s], hI[g] * y + hQ[g] * x);
                }
            }
        }
}

// With a gain of unit power the receiver's channel knowledge undoes the
// rotation: scaled table and exact LLRs of h * c are the table's entries at a
// cell centre c (exact ones computed at c, so equal without the grid's
// rounding), within the decoder's +-31.
TEST(FadingReceiver, RotatedPointsGiveTheTablesLlrs) {
    LinkDescription description;
    description.code = ProductCode{8, 4, 8, 4, 1, 1};
    description.constellation = TPC_SOURCE_DIR "/examples/constellations/16qam.txt";
    description.points = 16;
    description.ebN0Db = 6;
    description.decoder.iterations = 0;
    constexpr int32_t kSymbols = 16;  // N = 64 bits of 16QAM
    double centreI[kSymbols], centreQ[kSymbols];
    for (int32_t s = 0; s < kSymbols; ++s) {
        centreI[s] = GridCellCentre(17 + 13 * s, kDefaultLlrLimit);
        centreQ[s] = GridCellCentre(240 - 11 * s, kDefaultLlrLimit);
    }
    for (bool exact : {false, true}) {
        SCOPED_TRACE(exact ? "exact" : "scaled table");
        description.channel.exactLlrs = exact;
        const PreparedLink link = PrepareLink(description);
        Receiver table(link), faded(link);
        table.symbolLlrs(centreI, centreQ, kSymbols);
        table.placeLlrs();
        for (const auto& [hI, hQ] : {std::pair{1.0, 0.0}, {0.6, 0.8}, {-0.8, 0.6}}) {
            double i[kSymbols], q[kSymbols], gainI[kSymbols], gainQ[kSymbols];
            for (int32_t s = 0; s < kSymbols; ++s) {
                i[s] = hI * centreI[s] - hQ * centreQ[s];
                q[s] = hI * centreQ[s] + hQ * centreI[s];
                gainI[s] = hI;
                gainQ[s] = hQ;
            }
            faded.symbolLlrs(i, q, gainI, gainQ, kSymbols);
            faded.placeLlrs();
            int32_t strong = 0;
            for (int32_t e = 0; e < 4 * kSymbols; ++e) {
                const int32_t expected = std::clamp(table.channelValues()[e], -31, 31);
                strong += std::abs(expected) > 1;
                EXPECT_EQ(faded.channelValues()[e], expected) << "gain " << hI << "+" << hQ << "j, value " << e;
            }
            EXPECT_GT(strong, 2 * kSymbols) << "the points must not all sit on decision borders";
        }
        // A gain of power 1/4: the table's entries e (for v = e / 2) scaled to
        // 2 ceil(e / 8) - 1; exact LLRs with a quarter of the SNR come close
        // to the same (log-sum-exp is not quite linear in the SNR).
        double i[kSymbols], q[kSymbols], gainI[kSymbols], gainQ[kSymbols];
        for (int32_t s = 0; s < kSymbols; ++s) {
            i[s] = 0.3 * centreI[s] - 0.4 * centreQ[s];
            q[s] = 0.3 * centreQ[s] + 0.4 * centreI[s];
            gainI[s] = 0.3;
            gainQ[s] = 0.4;
        }
        faded.symbolLlrs(i, q, gainI, gainQ, kSymbols);
        faded.placeLlrs();
        for (int32_t e = 0; e < 4 * kSymbols; ++e) {
            const int32_t scaled = std::clamp(2 * static_cast<int32_t>(std::ceil(table.channelValues()[e] / 8.0)) - 1, -31, 31);
            EXPECT_NEAR(faded.channelValues()[e], scaled, exact ? 2 : 0) << "gain 0.3+0.4j, value " << e;
        }
        // One gain per block: its power is the same for every value of the
        // block and is left out, so the table path gives the table's own
        // entries however deep the fade.
        if (exact) continue;
        description.channel.perBlock = true;
        Receiver blockFaded(PrepareLink(description));
        description.channel.perBlock = false;
        blockFaded.symbolLlrs(i, q, gainI, gainQ, kSymbols);
        blockFaded.placeLlrs();
        for (int32_t e = 0; e < 4 * kSymbols; ++e) {
            EXPECT_EQ(blockFaded.channelValues()[e], std::clamp(table.channelValues()[e], -31, 31)) << "value " << e;
        }
    }
}

// BPSK over block fading: Re(y/h), so that a block in a deep fade reaches
// the quantiser with the amplitudes of AWGN; over fast fading Re(conj(h) y).
TEST(FadingReceiver, BlockFadingBpskKeepsTheQuantisersAmplitudes) {
    LinkDescription description;
    description.code = ProductCode{8, 4, 8, 4, 1, 1};
    description.decoder.iterations = 0;
    constexpr int32_t kN = 64;
    double i[kN], q[kN], gainI[kN], gainQ[kN];
    for (int32_t e = 0; e < kN; ++e) {
        const double x = e % 3 == 0 ? -1.0 : 1.0;
        gainI[e] = 0.1, gainQ[e] = -0.2;  // |h|^2 = 0.05
        i[e] = gainI[e] * x, q[e] = gainQ[e] * x;
    }
    for (bool perBlock : {false, true}) {
        description.channel.perBlock = perBlock;
        Receiver receiver(PrepareLink(description));
        receiver.fadedBpsk(i, q, gainI, gainQ);
        const BpskQuantizer quantizer(description.resolution, description.quantLimit);
        for (int32_t e = 0; e < kN; ++e) {
            const double amplitude = (e % 3 == 0 ? -1.0 : 1.0) * (perBlock ? 1.0 : 0.05);
            EXPECT_EQ(receiver.channelValues()[e], quantizer.Level(quantizer.Clip(amplitude)))
                << (perBlock ? "block" : "fast") << " fading, value " << e;
        }
    }
}

}  // namespace
}  // namespace tpc::link
