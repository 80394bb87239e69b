// Option parsing and validation: every bad value ends in a message and exit
// code 2 (never an exception), and the config file mechanics.
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

TEST(Options, EachBadValueGetsItsOwnMessage) {
    const std::string qam = "examples/constellations/16qam.txt";
    const std::string help = "Run with --help";  // what the parser's own errors end with
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--nx", "abc"}, help}, {{"--ebn0", "1", "--esn0", "2"}, help},
        {{"--config", "/nonexistent/config.json"}, help},
        {{"--nx", "0"}, "--nx must be between 1 and 256"}, {{"--ky", "257"}, "--ky must be between 1"},
        {{"--code", "64,57"}, "--code: expected n,k x n,k"},
        {{"--code", "64,57x64"}, "--code: each axis is n,k (got \"64\")"},
        {{"--code", "64,5.5x64,57"}, "--code: \"5.5\" is not an integer"},
        {{"--threshold", "inf"}, "--threshold must be a finite number"},
        {{"--encoder-offset", "-1"}, "--encoder-offset must be between 0 and"},
        {{"--iterations", "129"}, "--iterations must be between 0 and 128"},
        {{"--weights", "7,7"}, "--weights: give X,Y,Z or one weight"},
        {{"--weights", "7,17,7"}, "each of --weights must be between 1 and 16"},
        {{"--resolution", "32"}, "--resolution must be between 1 and 31"},
        {{"--quant-limit", "nan"}, "--quant-limit must be a positive number"},
        {{"--offset", "-1"}, "--offset must be between 0 and"},
        {{"--points", "16"}, "--points and --llr-esno need --constellation"},
        {{"--constellation", qam}, "--points (2 ... 256) is required with --constellation"},
        {{"--constellation", qam, "--points", "16", "--llr-limit", "0.001"}, "--llr-limit must be greater"},
        {{"--constellation", qam, "--points", "16", "--llr-esno", "-1"}, "--llr-esno must be a positive"},
        {{"--constellation", qam, "--points", "16", "--llr-resolution", "0"}, "--llr-resolution must be"},
        {{"--constellation", "/no/c.txt", "--points", "16"}, "cannot open the constellation file \"/no/c"},
        {{"--ebn0", "1:0:0.5"}, "--ebn0: sweep: the step must lead"}, {{"--ebn0", "0:1:0"}, "the step must"},
        {{"--ebn0", "0:1"}, "--ebn0: sweep: expected START:STOP:STEP"},
        {{"--ebn0", "0:1000:0.01"}, "--ebn0: sweep: more than 1000 points"},
        {{"--ebn0", "101"}, "--ebn0: sweep: points must lie in -50 ... 100 dB"},
        {{"--esn0", "1,,2"}, "--esn0: sweep point: \"\" is not a number"},
        {{"--errors", "0"}, "--errors must be at least 1"}, {{"--max-blocks", "0"}, "--max-blocks must be"},
        {{"--min-ber", "1"}, "--min-ber must lie in [0, 1)"}, {{"--threads", "-1"}, "--threads must be"},
        {{"--batch", "0"}, "--batch must be between 1 and"},
        // The first problem in the order of the checks is the one reported.
        {{"--batch", "0", "--iterations", "200", "--nz", "0"}, "--nz must be between"},
        // Every bound itself is accepted.
        {{"--nx", "256", "--kz", "1", "--iterations", "128", "--weights", "16,1,16", "--resolution", "31",
          "--threads", "1024", "--batch", "1000000", "--min-ber", "0", "--ebn0", "-50,100"}, ""},
        {{"--iterations", "0", "--resolution", "1", "--constellation", qam, "--points", "256"}, ""}};
    for (const auto& [args, expected] : cases) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        const std::string problem = Problem(args);
        if (expected.empty()) EXPECT_EQ(problem, "") << joined;
        else EXPECT_NE(problem.find(expected), std::string::npos) << joined << "gave: " << problem;
    }
}

TEST(Options, ExitCodesAndTheEmbeddedDefault) {
    EXPECT_EQ(Parse({"--nx", "abc"}).exitCode, 2);
    const ParseOutcome help = Parse({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.message.find("--selective-stop"), std::string::npos);
    const ParseOutcome none = ParseOptions({"tpcsim"});
    EXPECT_EQ(none.exitCode, -1);
    EXPECT_EQ(none.options.out, "results");
    EXPECT_EQ(ValidateOptions(none.options), "");
    EXPECT_EQ(Parse({"--quiet"}).options.out, "");  // any argument drops the implicit output
}

TEST(Options, EveryNodeParameterReachesItsBlock) {
    const ParseOutcome outcome =
        Parse({"--code", "16,11x16,11x8,4", "--kz", "7", "--threshold", "0.25", "--interleave",
               "--encoder-offset", "3", "--iterations", "9", "--weights", "5,6,7",
               "--selective-stop", "--resolution", "4", "--quant-limit", "1.1", "--offset", "2",
               "--constellation", "examples/constellations/16qam.txt", "--points", "16",
               "--llr-esno", "4.5", "--llr-limit", "1.25", "--llr-resolution", "6"});
    ASSERT_EQ(outcome.exitCode, -1) << outcome.message;
    const devhost::LinkConfig c = MakeLinkConfig(outcome.options, devhost::LinkConfig{}, 1.5);
    // --kz refines --code; interleave reaches both nodes.
    const std::vector<double> got = {
        double(c.encoder.nx), double(c.decoder.ky), double(c.encoder.nz), double(c.decoder.kz),
        c.encoder.threshold, double(c.encoder.interleave), double(c.decoder.deinter), c.encoder.delay,
        double(c.decoder.iterations), double(c.decoder.NUMX), double(c.decoder.NUMY), double(c.decoder.NUMZ),
        double(c.decoder.selectstp), double(c.decoder.resolution), c.decoder.quantLimit, c.decoder.delay,
        double(c.llr.numsym), double(c.llrEsNoFromChannel), c.llr.esno, c.llr.quantLimit, double(c.llr.res),
        c.ebN0Db};
    EXPECT_EQ(got, (std::vector<double>{16, 11, 8, 7, 0.25, 1, 1, 3, 9, 5, 6, 7, 1, 4, 1.1, 2, 16, 0, 4.5,
                                        1.25, 6, 1.5}));
    EXPECT_EQ(c.constellation, "examples/constellations/16qam.txt");
}

TEST(Options, SweepText) {
    const std::vector<std::pair<std::string, std::vector<double>>> cases = {
        {"1:2:0.5", {1, 1.5, 2}}, {"2:1:-0.5", {2, 1.5, 1}}, {"3", {3}}, {"1,4,2.5", {1, 4, 2.5}},
        {"0:0.3:0.1", {0, 0.1, 0.2, 0.3}},  // the stop is kept despite rounding
        {"2:3.4:0.1", {2, 2.1, 2.2, 2.3, 2.4, 2.5, 2.6, 2.7, 2.8, 2.9, 3, 3.1, 3.2, 3.3, 3.4}}};
    for (const auto& [text, expected] : cases) {
        const std::vector<double> points = ParseSweep(text);
        ASSERT_EQ(points.size(), expected.size()) << text;
        for (size_t i = 0; i < points.size(); ++i) EXPECT_NEAR(points[i], expected[i], 1e-12) << text;
    }
}

TEST(Options, EsN0SweepIsConvertedWithRateAndBitsPerSymbol) {
    // Rate 1/4, one bit per symbol: Eb/N0 = Es/N0 + 6.02 dB; with 4 bits per
    // symbol the two are equal.
    const std::vector<double> bpsk = SweepEbN0(Parse({"--code", "8,4x8,4", "--esn0", "0,3"}).options);
    ASSERT_EQ(bpsk.size(), 2u);
    EXPECT_NEAR(bpsk[0], 6.0206, 1e-4);
    EXPECT_NEAR(bpsk[1], 9.0206, 1e-4);
    const std::vector<double> qam = SweepEbN0(Parse({"--code", "8,4x8,4", "--esn0", "0", "--constellation",
                                                     "examples/constellations/16qam.txt", "--points", "16"})
                                                  .options);
    EXPECT_NEAR(qam.at(0), 0.0, 1e-12);
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
        const SimOptions& o = outcome.options;
        EXPECT_TRUE(o.nx == 32 && o.kx == 26 && o.weights[2] == 6 && o.selectiveStop) << path;
        EXPECT_EQ(o.seed, 77u) << path;
        EXPECT_EQ(o.sweep, "1:2:0.5") << path;
        EXPECT_EQ(o.configFile, path);

        outcome = Parse({"--config", path, "--nx", "16", "--seed", "5"});
        ASSERT_EQ(outcome.exitCode, -1) << outcome.message;
        const SimOptions& wins = outcome.options;
        EXPECT_TRUE(wins.nx == 16 && wins.seed == 5u && wins.kx == 26) << path;
    }
    using NameAndText = std::pair<const char*, const char*>;
    for (const auto& [name, text] : {NameAndText{"unknown.txt", "nx = 32\ncolour = blue\n"},
                                     NameAndText{"broken.json", "{\"nx\": 32,"},
                                     NameAndText{"noequals.txt", "nx 32\n"}}) {
        EXPECT_EQ(Parse({"--config", WriteTemp(std::string("tpcsim_") + name, text)}).exitCode, 2) << name;
    }
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
