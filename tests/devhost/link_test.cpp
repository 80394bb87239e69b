// Whole links through the library's real entry points: noiseless round trips
// over many geometries, the noise level a link sets up, and error rates on
// fixed seeds with and without the LLR calculator.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>

#include "devhost/link.h"

namespace devhost {
namespace {

const Library& TheLibrary() {
    static Library library(DefaultLibraryPath());
    return library;
}

// A noiseless link of the code nx,kx x ny,ky x nz,kz, interleaved or not.
LinkConfig ConfigFor(const std::vector<int32_t>& g) {
    LinkConfig c = DefaultLinkConfig(TheLibrary());
    c.encoder.nx = c.decoder.nx = g[0];
    c.encoder.kx = c.decoder.kx = g[1];
    c.encoder.ny = c.decoder.ny = g[2];
    c.encoder.ky = c.decoder.ky = g[3];
    c.encoder.nz = c.decoder.nz = g[4];
    c.encoder.kz = c.decoder.kz = g[5];
    c.encoder.interleave = c.decoder.deinter = g[6];
    c.decoder.iterations = 4;
    c.noiseless = true;
    return c;
}

TEST(LinkTest, NoiselessBpskRoundTripsAndAMismatchRefused) {
    // Both edges of the code sizes, a parity-check axis, three axes, and
    // interleaving in two and three dimensions.
    const std::vector<int32_t> codes[] = {
        {8, 4, 8, 4, 1, 1, 0},    {32, 26, 16, 11, 1, 1, 0}, {256, 247, 4, 3, 1, 1, 0},
        {5, 4, 3, 2, 1, 1, 0},    {16, 11, 8, 4, 4, 3, 0},   {16, 11, 16, 11, 1, 1, 1},
        {16, 11, 8, 4, 8, 4, 1}};
    for (const auto& g : codes) {
        const LinkCounts counts = Link(TheLibrary(), ConfigFor(g)).run(3, 99);
        EXPECT_EQ(counts.blocks, 3) << testing::PrintToString(g);
        EXPECT_EQ(counts.bits, 3 * int64_t{g[1]} * g[3] * g[5]) << testing::PrintToString(g);
        EXPECT_EQ(counts.bitErrors, 0) << testing::PrintToString(g);
    }
    EXPECT_THROW(Library("/nonexistent/libtpc.so"), std::runtime_error);
    LinkConfig c = ConfigFor({8, 4, 8, 4, 1, 1, 1});
    c.decoder.deinter = 0;  // the decoder reads the block in the wrong order: no lag fits
    EXPECT_THROW(Link(TheLibrary(), c), std::runtime_error);
}

// A two-point constellation at +-3 (symbol energy 9) with a rate 1/4 code:
// Eb/N0 = 6.02 dB is Es/N0 = 0 dB, so N0 = 9, sigma = sqrt(9 / 2), and the
// LLR table follows the channel with the linear Es/N0 per unit energy, 1/9.
TEST(LinkTest, NoiseAndLlrScaleFollowTheSymbolEnergy) {
    const std::string path = testing::TempDir() + "tpc_wide_pair.txt";
    std::ofstream(path) << "2\n0 -3 0\n1 3 0\n";
    LinkConfig c = ConfigFor({8, 4, 8, 4, 1, 1, 0});
    c.noiseless = false;
    c.constellation = path;
    c.llr.numsym = 2;
    c.ebN0Db = 10 * std::log10(4.0);
    const Link link(TheLibrary(), c);
    EXPECT_NEAR(link.noiseSigma(), std::sqrt(4.5), 1e-12);
    EXPECT_NEAR(link.config().llr.esno, 1.0 / 9, 1e-12);
}

// The default code, alone and behind the LLR calculator: noiseless round
// trips (integer soft input, interleaved too), every bit right at a
// comfortable Eb/N0 and many wrong as it drops. Selective stop keeps it
// short; under emulation only BPSK and 16QAM, the one nearest its waterfall.
TEST(LinkTest, DefaultCodeOverEachModulation) {
    const std::pair<std::string, int32_t> modulations[] = {
        {"", 0}, {"16qam", 16}, {"bpsk_pair", 2}, {"qpsk", 4}, {"8psk", 8}};
    for (size_t i = 0; i < (std::getenv("TPC_TEST_EMULATED") ? 2 : std::size(modulations)); ++i) {
        const auto& [file, points] = modulations[i];
        SCOPED_TRACE(file.empty() ? "BPSK" : file);
        LinkConfig c = DefaultLinkConfig(TheLibrary());
        if (points > 0) c.constellation = TPC_SOURCE_DIR "/examples/constellations/" + file + ".txt";
        c.llr.numsym = points;
        c.decoder.selectstp = 1;
        LinkConfig clean = c;
        clean.noiseless = true;
        clean.encoder.interleave = clean.decoder.deinter = 1;
        EXPECT_EQ(Link(TheLibrary(), clean).run(2, 5).bitErrors, 0);
        c.ebN0Db = points > 0 ? 6.0 : 4.0;
        const LinkCounts good = Link(TheLibrary(), c).run(4, 11);
        c.ebN0Db = points > 0 ? 1.0 : 2.0;
        const LinkCounts bad = Link(TheLibrary(), c).run(4, 11);
        EXPECT_EQ(good.blocks, 4);
        EXPECT_EQ(good.bitErrors, 0) << "seed 11";
        EXPECT_GT(bad.bitErrors, good.bits / 1000) << "seed 11";
    }
}

}  // namespace
}  // namespace devhost
