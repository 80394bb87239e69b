// Option parsing and validation: every bad value ends in a message and exit
// code 2 (never an exception), and the config file mechanics.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/config_file.h"
#include "sim/link_setup.h"
#include "sim/options.h"

namespace tpcsim {
namespace {

ParseOutcome Parse(std::vector<std::string> args) {
    args.insert(args.begin(), "tpcsim");
    return ParseOptions(args);
}

// Parse + validate as the program does: "" when the options are accepted.
std::string Problem(const std::vector<std::string>& args) {
    const ParseOutcome outcome = Parse(args);
    if (outcome.exitCode >= 0) return outcome.exitCode == 2 ? outcome.message : "";
    return ValidateOptions(outcome.options);
}

TEST(Options, BadValuesGiveAMessage) {
    const std::vector<std::vector<std::string>> cases = {
        {"--nx", "abc"}, {"--nx", "0"}, {"--ky", "300"}, {"--nz", "-1"}, {"--code", "64,57"},
        {"--code", "64,57x64"}, {"--code", "64;57x64,57"}, {"--code", "64,57x64,57x8,4x2,1"},
        {"--iterations", "129"}, {"--iterations", "-1"}, {"--weights", "7,7"}, {"--weights", "0"},
        {"--weights", "7,17,7"}, {"--resolution", "0"}, {"--resolution", "32"},
        {"--quant-limit", "0"}, {"--quant-limit", "nan"}, {"--ebn0", "1:0:0.5"},
        {"--ebn0", "0:1:0"}, {"--ebn0", "0:1"}, {"--ebn0", "1,,2"}, {"--ebn0", "x"},
        {"--ebn0", "0:1000:0.01"}, {"--ebn0", "1", "--esn0", "2"}, {"--errors", "0"},
        {"--max-blocks", "0"}, {"--min-ber", "1"}, {"--min-ber", "-0.1"}, {"--threads", "-2"},
        {"--batch", "0"}, {"--points", "16"}, {"--llr-esno", "3"},
        {"--constellation", "examples/constellations/16qam.txt"},
        {"--constellation", "examples/constellations/16qam.txt", "--points", "1"},
        {"--constellation", "examples/constellations/16qam.txt", "--points", "16", "--llr-limit", "0.001"},
        {"--constellation", "examples/constellations/16qam.txt", "--points", "16", "--llr-esno", "-1"},
        {"--constellation", "/nonexistent/file.txt", "--points", "16"}, {"--unknown"},
        {"--config", "/nonexistent/config.json"}, {"--offset", "-1"}, {"--threshold", "inf"}};
    for (const auto& args : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_FALSE(Problem(args).empty()) << "accepted: " << joined;
    }
}

TEST(Options, ParseErrorsExitWithTwoAndHelpWithZero) {
    EXPECT_EQ(Parse({"--nx", "abc"}).exitCode, 2);
    EXPECT_EQ(Parse({"--frobnicate"}).exitCode, 2);
    const ParseOutcome help = Parse({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.message.find("--selective-stop"), std::string::npos);
}

TEST(Options, NoArgumentsIsTheEmbeddedDefaultWritingResults) {
    const ParseOutcome outcome = ParseOptions({"tpcsim"});
    EXPECT_EQ(outcome.exitCode, -1);
    EXPECT_EQ(outcome.options.out, "results");
    EXPECT_EQ(ValidateOptions(outcome.options), "");
    EXPECT_EQ(outcome.options.nx, 64);
    EXPECT_EQ(outcome.options.kx, 57);
    EXPECT_TRUE(outcome.options.constellation.empty());
    // Any argument drops the implicit output directory.
    EXPECT_EQ(Parse({"--quiet"}).options.out, "");
}

TEST(Options, EveryNodeParameterReachesItsBlock) {
    const ParseOutcome outcome =
        Parse({"--code", "16,11x16,11x8,4", "--kz", "7", "--threshold", "0.25", "--interleave",
               "--encoder-offset", "3", "--iterations", "9", "--weights", "5,6,7",
               "--selective-stop", "--resolution", "4", "--quant-limit", "1.1", "--offset", "2",
               "--constellation", "examples/constellations/16qam.txt", "--points", "16",
               "--llr-esno", "4.5", "--llr-limit", "1.25", "--llr-resolution", "6"});
    ASSERT_EQ(outcome.exitCode, -1) << outcome.message;
    devhost::LinkConfig defaults;
    const devhost::LinkConfig c = MakeLinkConfig(outcome.options, defaults, 1.5);
    EXPECT_EQ(c.encoder.nx, 16);
    EXPECT_EQ(c.decoder.ky, 11);
    EXPECT_EQ(c.encoder.nz, 8);
    EXPECT_EQ(c.decoder.kz, 7);  // the per-axis option refines --code
    EXPECT_EQ(c.encoder.threshold, 0.25);
    EXPECT_EQ(c.encoder.interleave, 1u);
    EXPECT_EQ(c.decoder.deinter, 1u);
    EXPECT_EQ(c.encoder.delay, 3.0);
    EXPECT_EQ(c.decoder.iterations, 9);
    EXPECT_EQ(c.decoder.NUMX, 5);
    EXPECT_EQ(c.decoder.NUMY, 6);
    EXPECT_EQ(c.decoder.NUMZ, 7);
    EXPECT_EQ(c.decoder.selectstp, 1u);
    EXPECT_EQ(c.decoder.resolution, 4);
    EXPECT_EQ(c.decoder.quantLimit, 1.1);
    EXPECT_EQ(c.decoder.delay, 2.0);
    EXPECT_EQ(c.constellation, "examples/constellations/16qam.txt");
    EXPECT_EQ(c.llr.numsym, 16);
    EXPECT_FALSE(c.llrEsNoFromChannel);
    EXPECT_EQ(c.llr.esno, 4.5);
    EXPECT_EQ(c.llr.quantLimit, 1.25);
    EXPECT_EQ(c.llr.res, 6);
    EXPECT_EQ(c.ebN0Db, 1.5);
}

TEST(Options, SweepText) {
    const std::vector<std::pair<std::string, std::vector<double>>> cases = {
        {"1:2:0.5", {1, 1.5, 2}},
        {"2:1:-0.5", {2, 1.5, 1}},
        {"0:0.3:0.1", {0, 0.1, 0.2, 0.3}},  // the stop is kept despite rounding
        {"2:3.4:0.1", {2, 2.1, 2.2, 2.3, 2.4, 2.5, 2.6, 2.7, 2.8, 2.9, 3, 3.1, 3.2, 3.3, 3.4}},
        {"3", {3}},
        {"1,4,2.5", {1, 4, 2.5}}};
    for (const auto& [text, expected] : cases) {
        const std::vector<double> points = ParseSweep(text);
        ASSERT_EQ(points.size(), expected.size()) << text;
        for (size_t i = 0; i < points.size(); ++i) EXPECT_NEAR(points[i], expected[i], 1e-12) << text;
    }
}

TEST(Options, EsN0SweepIsConvertedWithRateAndBitsPerSymbol) {
    ParseOutcome outcome = Parse({"--code", "8,4x8,4", "--esn0", "0,3"});
    ASSERT_EQ(outcome.exitCode, -1);
    std::vector<double> ebN0 = SweepEbN0(outcome.options);
    // Rate 1/4, one bit per symbol: Eb/N0 = Es/N0 + 6.02 dB.
    EXPECT_NEAR(ebN0[0], 6.0206, 1e-4);
    EXPECT_NEAR(ebN0[1], 9.0206, 1e-4);
    outcome = Parse({"--code", "8,4x8,4", "--esn0", "0", "--constellation",
                     "examples/constellations/16qam.txt", "--points", "16"});
    ASSERT_EQ(outcome.exitCode, -1);
    ebN0 = SweepEbN0(outcome.options);
    EXPECT_NEAR(ebN0[0], 0.0, 1e-12);  // rate 1/4 times 4 bits per symbol
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

TEST(Options, ConfigFilesAndTheCommandLineWins) {
    const std::string json = WriteTemp("tpcsim_config.json",
                                       R"({"nx": 32, "kx": 26, "weights": [4, 5, 6],
                                           "selective-stop": true, "ebn0": "1:2:0.5", "seed": 77})");
    const std::string lines = WriteTemp("tpcsim_config.txt",
                                        "# comment\nnx = 32\nkx=26   # trailing\nseed = \"77\"\n"
                                        "selective-stop = true\nweights = 4,5,6\nebn0 = 1:2:0.5\n");
    for (const std::string& path : {json, lines}) {
        ParseOutcome outcome = Parse({"--config", path});
        ASSERT_EQ(outcome.exitCode, -1) << path << ": " << outcome.message;
        EXPECT_EQ(outcome.options.nx, 32) << path;
        EXPECT_EQ(outcome.options.kx, 26) << path;
        EXPECT_EQ(outcome.options.weights[2], 6) << path;
        EXPECT_TRUE(outcome.options.selectiveStop) << path;
        EXPECT_EQ(outcome.options.sweep, "1:2:0.5") << path;
        EXPECT_EQ(outcome.options.seed, 77u) << path;
        EXPECT_EQ(outcome.options.configFile, path);

        outcome = Parse({"--config", path, "--nx", "16", "--seed", "5"});
        ASSERT_EQ(outcome.exitCode, -1) << outcome.message;
        EXPECT_EQ(outcome.options.nx, 16) << path;
        EXPECT_EQ(outcome.options.seed, 5u) << path;
        EXPECT_EQ(outcome.options.kx, 26) << path;
    }
    const std::string unknown = WriteTemp("tpcsim_unknown.txt", "nx = 32\ncolour = blue\n");
    EXPECT_EQ(Parse({"--config", unknown}).exitCode, 2);
    const std::string broken = WriteTemp("tpcsim_broken.json", "{\"nx\": 32,");
    EXPECT_EQ(Parse({"--config", broken}).exitCode, 2);
    const std::string noEquals = WriteTemp("tpcsim_noequals.txt", "nx 32\n");
    EXPECT_EQ(Parse({"--config", noEquals}).exitCode, 2);
}

TEST(Options, ResultsJsonConfigurationIsReadBack) {
    const auto items = ReadConfigText(R"({"program": "tpcsim", "points": [],
        "configuration": {"nx": 8, "interleave": false, "quant-limit": 1.25, "weights": [7, 7, 7]}})");
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0], (std::pair<std::string, std::string>{"nx", "8"}));
    EXPECT_EQ(items[1].second, "false");
    EXPECT_EQ(items[2].second, "1.25");
    EXPECT_EQ(items[3].second, "7,7,7");
}

TEST(Options, CommandLineIsQuotedForTheShell) {
    EXPECT_EQ(JoinCommandLine({"tpcsim", "--ebn0", "1:2:0.5", "--out", "my dir", "it's"}),
              "tpcsim --ebn0 1:2:0.5 --out 'my dir' 'it'\\''s'");
}

}  // namespace
}  // namespace tpcsim
