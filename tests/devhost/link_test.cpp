// Whole links through the library's real entry points, loaded with dlopen:
// noiseless round trips over many geometries, the noise level a link sets
// up, and error rates on fixed seeds with and without the LLR calculator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>

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

TEST(LinkTest, NoiselessBpskRoundTrips) {
    // Both edges of the code sizes, a parity-check axis, three axes, and
    // interleaving in two and three dimensions.
    const Geometry geometries[] = {
        {8, 4, 8, 4, 1, 1, false}, {32, 26, 16, 11, 1, 1, false}, {256, 247, 4, 3, 1, 1, false},
        {5, 4, 3, 2, 1, 1, false}, {16, 11, 8, 4, 4, 3, false},   {16, 11, 16, 11, 1, 1, true},
        {16, 11, 8, 4, 8, 4, true}};
    for (const Geometry& g : geometries) {
        SCOPED_TRACE(testing::Message() << g.nx << "," << g.kx << " x " << g.ny << "," << g.ky << " x " << g.nz
                                        << "," << g.kz << (g.interleave ? " interleaved" : ""));
        const LinkCounts counts = Link(TheLibrary(), ConfigFor(g)).run(3, 99);
        EXPECT_EQ(counts.blocks, 3);
        EXPECT_EQ(counts.bits, 3 * int64_t{g.kx} * g.ky * g.kz);
        EXPECT_EQ(counts.bitErrors, 0);
    }
}

TEST(LinkTest, MissingLibraryAndMismatchedCodesAreRefused) {
    EXPECT_THROW(Library("/nonexistent/libtpc.so"), std::runtime_error);
    LinkConfig c = ConfigFor({8, 4, 8, 4, 1, 1, true});
    c.decoder.deinter = 0;  // the decoder reads the block in the wrong order: the pilot finds no lag
    EXPECT_THROW(Link(TheLibrary(), c), std::runtime_error);
    LinkConfig bad = ConfigFor({8, 4, 8, 4, 1, 1, false});
    bad.decoder.NUMX = 17;
    try {
        Link link(TheLibrary(), bad);
        FAIL() << "accepted NUMX = 17";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("NUMX must be an integer ranging from 1 to 16"), std::string::npos)
            << e.what();
    }
}

// A two-point constellation at +-3 (symbol energy 9) with a rate 1/4 code:
// Eb/N0 = 6.02 dB is Es/N0 = 0 dB, so N0 = 9, sigma = sqrt(9 / 2), and the
// LLR table follows the channel with the linear Es/N0 per unit energy, 1/9.
TEST(LinkTest, NoiseAndLlrScaleFollowTheSymbolEnergy) {
    const std::string path = testing::TempDir() + "tpc_wide_pair.txt";
    std::ofstream(path) << "2\n0 -3 0\n1 3 0\n";
    LinkConfig c = ConfigFor({8, 4, 8, 4, 1, 1, false});
    c.noiseless = false;
    c.constellation = path;
    c.llr.numsym = 2;
    c.ebN0Db = 10 * std::log10(4.0);
    const Link link(TheLibrary(), c);
    EXPECT_NEAR(link.noiseSigma(), std::sqrt(4.5), 1e-12);
    EXPECT_NEAR(link.config().llr.esno, 1.0 / 9, 1e-12);
}

struct Modulation {
    const char* file;  // empty: BPSK straight into the decoder
    int32_t points;
};

LinkConfig ModulatedConfig(const Modulation& m, double ebN0Db) {
    LinkConfig c = DefaultLinkConfig(TheLibrary());
    if (m.points > 0) c.constellation = std::string(TPC_SOURCE_DIR) + "/examples/constellations/" + m.file;
    c.llr.numsym = m.points;
    c.decoder.selectstp = 1;
    c.ebN0Db = ebN0Db;
    return c;
}

// The default code, alone and behind the LLR calculator: noiseless round
// trips (integer soft input, interleaved too), every bit right at a
// comfortable Eb/N0 and many wrong as it drops. Selective stop keeps it short.
TEST(LinkTest, DefaultCodeOverEachModulation) {
    const Modulation modulations[] = {{"", 0}, {"bpsk_pair.txt", 2}, {"qpsk.txt", 4}, {"8psk.txt", 8},
                                      {"16qam.txt", 16}};
    for (const Modulation& m : modulations) {
        SCOPED_TRACE(m.points > 0 ? m.file : "BPSK");
        LinkConfig clean = ModulatedConfig(m, 0);
        clean.noiseless = true;
        clean.encoder.interleave = clean.decoder.deinter = 1;
        EXPECT_EQ(Link(TheLibrary(), clean).run(2, 5).bitErrors, 0);

        const LinkCounts good = Link(TheLibrary(), ModulatedConfig(m, m.points > 0 ? 6.0 : 4.0)).run(4, 11);
        const LinkCounts bad = Link(TheLibrary(), ModulatedConfig(m, m.points > 0 ? 1.0 : 2.0)).run(4, 11);
        std::printf("%s: BER %.3g low, %.3g high Eb/N0 (seed 11)\n", m.points > 0 ? m.file : "BPSK",
                    static_cast<double>(bad.bitErrors) / bad.bits, static_cast<double>(good.bitErrors) / good.bits);
        EXPECT_EQ(good.blocks, 4);
        EXPECT_EQ(good.bitErrors, 0);
        EXPECT_GT(bad.bitErrors, good.bits / 1000);
    }
}

}  // namespace
}  // namespace devhost
