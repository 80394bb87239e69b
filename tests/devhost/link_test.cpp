// Whole links through the library's real entry points, loaded with dlopen:
// noiseless round trips over many geometries, and the waterfall of the
// default code on a fixed seed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>

#include "devhost/library.h"
#include "devhost/link.h"

namespace devhost {
namespace {

const Library& TheLibrary() {
    static Library library(DefaultLibraryPath());
    return library;
}

struct Geometry {
    int32_t nx, kx, ny, ky, nz, kz;
    bool interleave;
};

LinkConfig ConfigFor(const Geometry& g) {
    LinkConfig c = DefaultLinkConfig(TheLibrary());
    c.encoder.nx = c.decoder.nx = g.nx;
    c.encoder.kx = c.decoder.kx = g.kx;
    c.encoder.ny = c.decoder.ny = g.ny;
    c.encoder.ky = c.decoder.ky = g.ky;
    c.encoder.nz = c.decoder.nz = g.nz;
    c.encoder.kz = c.decoder.kz = g.kz;
    c.encoder.interleave = g.interleave;
    c.decoder.deinter = g.interleave;
    c.decoder.iterations = 4;
    c.noiseless = true;
    return c;
}

TEST(LinkTest, LibraryLoadsWithItsFiveEntryPoints) {
    const Library& library = TheLibrary();
    EXPECT_EQ(library.interfaceLevel(), 19u);
    ASSERT_EQ(library.nodes().size(), 3u);
    EXPECT_EQ(library.nodes()[1].outputNames,
              (std::vector<std::string>{"decoded block", "information"}));
    EXPECT_EQ(library.blockSize(1), 88);
    EXPECT_THROW(Library("/nonexistent/libtpc.so"), std::runtime_error);
}

TEST(LinkTest, NoiselessBpskRoundTrips) {
    // Both edges of the code sizes, a parity-check axis, three axes, and
    // interleaving in two and three dimensions.
    const Geometry geometries[] = {
        {8, 4, 8, 4, 1, 1, false},     {32, 26, 16, 11, 1, 1, false}, {256, 247, 4, 3, 1, 1, false},
        {5, 4, 3, 2, 1, 1, false},     {16, 11, 8, 4, 4, 3, false},   {16, 11, 16, 11, 1, 1, true},
        {16, 11, 8, 4, 8, 4, true},
    };
    for (const Geometry& g : geometries) {
        SCOPED_TRACE(testing::Message() << g.nx << "," << g.kx << " x " << g.ny << "," << g.ky
                                        << " x " << g.nz << "," << g.kz
                                        << (g.interleave ? " interleaved" : ""));
        Link link(TheLibrary(), ConfigFor(g));
        const LinkCounts counts = link.run(3, 99);
        EXPECT_EQ(counts.blocks, 3);
        EXPECT_EQ(counts.bits, 3 * int64_t{g.kx} * g.ky * g.kz);
        EXPECT_EQ(counts.bitErrors, 0);
    }
}

TEST(LinkTest, MismatchedCodesAreCaughtByThePilot) {
    LinkConfig c = ConfigFor({8, 4, 8, 4, 1, 1, true});
    c.decoder.deinter = 0;  // the decoder reads the block in the wrong order
    EXPECT_THROW(Link(TheLibrary(), c), std::runtime_error);

    LinkConfig bad = ConfigFor({8, 4, 8, 4, 1, 1, false});
    bad.decoder.NUMX = 17;
    try {
        Link link(TheLibrary(), bad);
        FAIL() << "accepted NUMX = 17";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("NUMX must be an integer ranging from 1 to 16"),
                  std::string::npos)
            << e.what();
    }
}

TEST(LinkTest, NoiseIsReproducibleForASeed) {
    LinkConfig c = ConfigFor({16, 11, 16, 11, 1, 1, false});
    c.noiseless = false;
    c.ebN0Db = 1.0;
    Link link(TheLibrary(), c);
    const LinkCounts a = link.run(20, 1234), b = link.run(20, 1234);
    EXPECT_GT(a.bitErrors, 0);
    EXPECT_EQ(a.bitErrors, b.bitErrors);
    EXPECT_EQ(a.blockErrors, b.blockErrors);
    EXPECT_NE(a.bitErrors, link.run(20, 4321).bitErrors);
}

// The default code over BPSK: the bit error rate falls by orders of
// magnitude between 2 and 4 dB. Selective stop keeps the test short.
TEST(LinkTest, DefaultCodeWaterfall) {
    LinkConfig c = DefaultLinkConfig(TheLibrary());
    c.decoder.selectstp = 1;
    auto berAt = [&](double ebN0Db) {
        c.ebN0Db = ebN0Db;
        const LinkCounts counts = Link(TheLibrary(), c).run(10, 7);
        return static_cast<double>(counts.bitErrors) / counts.bits;
    };
    const double berLow = berAt(2.0), berHigh = berAt(4.0);
    std::printf("default code, 10 blocks: BER %.3g at 2 dB, %.3g at 4 dB\n", berLow, berHigh);
    EXPECT_GT(berLow, 1e-3);
    EXPECT_LT(berHigh, berLow / 100);
}

struct Modulation {
    const char* file;
    int32_t points;
};

LinkConfig ModulatedConfig(const Modulation& m, double ebN0Db) {
    LinkConfig c = DefaultLinkConfig(TheLibrary());
    c.constellation = std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + m.file;
    c.llr.numsym = m.points;
    c.decoder.selectstp = 1;
    c.ebN0Db = ebN0Db;
    return c;
}

// The LLR calculator between channel and decoder: noiseless round trips
// (integer soft input, interleaved too), then every bit at a comfortable
// Eb/N0 and a waterfall as it drops.
TEST(LinkTest, HigherOrderModulationThroughTheLlrCalculator) {
    const Modulation modulations[] = {
        {"bpsk_pair.txt", 2}, {"qpsk.txt", 4}, {"8psk.txt", 8}, {"16qam.txt", 16}};
    for (const Modulation& m : modulations) {
        SCOPED_TRACE(m.file);
        LinkConfig clean = ModulatedConfig(m, 0);
        clean.noiseless = true;
        clean.encoder.interleave = clean.decoder.deinter = 1;
        Link noiseless(TheLibrary(), clean);
        EXPECT_EQ(noiseless.run(2, 5).bitErrors, 0);

        Link comfortable(TheLibrary(), ModulatedConfig(m, 6.0));
        const LinkCounts good = comfortable.run(4, 11);
        EXPECT_EQ(good.blocks, 4);
        EXPECT_EQ(good.bitErrors, 0);

        Link poor(TheLibrary(), ModulatedConfig(m, 1.0));
        const LinkCounts bad = poor.run(4, 11);
        std::printf("%s: BER %.3g at 1 dB, %.3g at 6 dB Eb/N0\n", m.file,
                    static_cast<double>(bad.bitErrors) / bad.bits,
                    static_cast<double>(good.bitErrors) / good.bits);
        EXPECT_GT(bad.bitErrors, good.bits / 1000);
    }
}

}  // namespace
}  // namespace devhost
