// Option parsing and validation: every bad value ends in a message and exit
// code 2 (never an exception), config files, and the result files that a
// later run and the plot read back.
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/link_setup.h"
#include "sim/options.h"
#include "sim/results.h"

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

TEST(Options, HelpAndTheEmbeddedDefault) {
    const ParseOutcome help = Parse({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.message.find("--selective-stop"), std::string::npos);
    const ParseOutcome none = ParseOptions({"tpcsim"});
    EXPECT_EQ(none.exitCode, -1);
    EXPECT_EQ(none.options.out, "results");
    EXPECT_EQ(ValidateOptions(none.options), "");
    EXPECT_EQ(Parse({"--quiet"}).options.out, "");  // any argument drops the implicit output
    EXPECT_EQ(JoinCommandLine({"tpcsim", "--ebn0", "1:2:0.5", "--out", "my dir", "it's"}),
              "tpcsim --ebn0 1:2:0.5 --out 'my dir' 'it'\\''s'");
}

// Points in Eb/N0; an Es/N0 sweep is converted with the rate and the bits per
// symbol: rate 1/4 BPSK is 6.02 dB apart, rate 1/4 16QAM not at all.
TEST(Options, SweepPoints) {
    const std::string qam = "examples/constellations/16qam.txt";
    const std::vector<std::pair<std::vector<std::string>, std::vector<double>>> cases = {
        {{"--ebn0", "1:2:0.5"}, {1, 1.5, 2}}, {{"--ebn0", "2:1:-0.5"}, {2, 1.5, 1}}, {{"--ebn0", "3"}, {3}},
        {{"--ebn0", "1,4,2.5"}, {1, 4, 2.5}},
        {{"--ebn0", "0:0.3:0.1"}, {0, 0.1, 0.2, 0.3}},  // the stop is kept despite rounding
        {{"--ebn0", "2:3.4:0.1"}, {2, 2.1, 2.2, 2.3, 2.4, 2.5, 2.6, 2.7, 2.8, 2.9, 3, 3.1, 3.2, 3.3, 3.4}},
        {{"--code", "8,4x8,4", "--esn0", "0,3"}, {6.0206, 9.0206}},
        {{"--code", "8,4x8,4", "--esn0", "0", "--constellation", qam, "--points", "16"}, {0}}};
    for (const auto& [args, expected] : cases) {
        const std::vector<double> points = SweepEbN0(Parse(args).options);
        ASSERT_EQ(points.size(), expected.size()) << args[1];
        for (size_t i = 0; i < points.size(); ++i) EXPECT_NEAR(points[i], expected[i], 1e-4) << args[1];
    }
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

TEST(Options, ConfigFilesAndTheCommandLineWins) {
    const std::string path = WriteTemp("tpcsim_config.txt", "# comment\nnx = 32\nkx=26   # trailing\n"
                                                             "seed = \"77\"\nselective-stop = true\n");
    ParseOutcome outcome = Parse({"--config", path});
    ASSERT_EQ(outcome.exitCode, -1) << outcome.message;
    EXPECT_TRUE(outcome.options.nx == 32 && outcome.options.kx == 26 && outcome.options.selectiveStop);
    EXPECT_EQ(outcome.options.seed, 77u);
    EXPECT_EQ(outcome.options.configFile, path);
    outcome = Parse({"--config", path, "--nx", "16", "--seed", "5"});
    EXPECT_TRUE(outcome.options.nx == 16 && outcome.options.seed == 5u && outcome.options.kx == 26);
    using NameAndText = std::pair<const char*, const char*>;
    for (const auto& [name, text] : {NameAndText{"unknown.txt", "nx = 32\ncolour = blue\n"},
                                     NameAndText{"broken.json", "{\"nx\": 32,"},
                                     NameAndText{"noequals.txt", "nx 32\n"}}) {
        EXPECT_EQ(Parse({"--config", WriteTemp(std::string("tpcsim_") + name, text)}).exitCode, 2) << name;
    }
}

// Every setting goes through results.json and back in with --config, then to
// its node parameter: a key written under another name, or a value dropped or
// put in the wrong field, shows here.
TEST(Results, JsonReadBackWithConfigReachesEveryNodeParameter) {
    const ParseOutcome given =
        Parse({"--code", "16,11x16,11x8,4", "--kz", "7", "--threshold", "0.25", "--interleave",
               "--encoder-offset", "3", "--iterations", "9", "--weights", "5,6,7", "--selective-stop",
               "--resolution", "4", "--quant-limit", "1.1", "--offset", "2", "--constellation",
               "examples/constellations/16qam.txt", "--points", "16", "--llr-esno", "4.5", "--llr-limit",
               "1.25", "--llr-resolution", "6", "--esn0", "1:2:0.5", "--errors", "33", "--max-blocks", "444",
               "--min-ber", "1e-5", "--seed", "77", "--batch", "9"});
    ASSERT_EQ(given.exitCode, -1) << given.message;
    RunRecord run;
    run.options = given.options;
    const ParseOutcome back = Parse({"--config", WriteTemp("tpcsim_results.json", FormatJson(run))});
    ASSERT_EQ(back.exitCode, -1) << back.message;
    const SimOptions& o = back.options;
    const devhost::LinkConfig c = MakeLinkConfig(o, devhost::LinkConfig{}, 1.5);
    // --kz refines --code; interleave reaches both nodes.
    const std::vector<double> got = {
        double(c.encoder.nx), double(c.decoder.ky), double(c.encoder.nz), double(c.decoder.kz),
        c.encoder.threshold, double(c.encoder.interleave), double(c.decoder.deinter), c.encoder.delay,
        double(c.decoder.iterations), double(c.decoder.NUMX), double(c.decoder.NUMY), double(c.decoder.NUMZ),
        double(c.decoder.selectstp), double(c.decoder.resolution), c.decoder.quantLimit, c.decoder.delay,
        double(c.llr.numsym), double(c.llrEsNoFromChannel), c.llr.esno, c.llr.quantLimit, double(c.llr.res),
        c.ebN0Db, double(o.sweepIsEsN0), double(o.errors), double(o.maxBlocks), o.minBer, double(o.seed),
        double(o.batch)};
    EXPECT_EQ(got, (std::vector<double>{16, 11, 8, 7, 0.25, 1, 1, 3, 9, 5, 6, 7, 1, 4, 1.1, 2, 16, 0, 4.5,
                                        1.25, 6, 1.5, 1, 33, 444, 1e-5, 77, 9}));
    EXPECT_EQ(c.constellation, "examples/constellations/16qam.txt");
    EXPECT_EQ(o.sweep, "1:2:0.5");
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == separator) parts.emplace_back();
        else parts.back().push_back(c);
    }
    return parts;
}

// The plot reads results.csv by column number: x is Eb/N0, then the BER with
// its interval, and the FER. 30 wrong bits of 1000 in 4 of 10 blocks.
TEST(Results, PlotReadsTheCsvColumnsOfItsCurves) {
    RunRecord run;
    run.points.resize(1);
    run.points[0].ebN0Db = 2;
    run.points[0].counts = {10, 1000, 30, 4};  // blocks, bits, bit errors, block errors
    const std::vector<std::string> lines = Split(FormatCsv(run), '\n');
    ASSERT_EQ(lines.size(), 3u);
    const std::vector<std::string> header = Split(lines[0], ','), row = Split(lines[1], ',');
    ASSERT_EQ(header.size(), row.size());
    std::map<std::string, double> value;
    for (size_t i = 0; i < header.size(); ++i) value[header[i]] = std::stod(row[i]);
    EXPECT_EQ(value["ebn0_db"], 2.0);
    EXPECT_EQ(value["ber"], 0.03);
    EXPECT_EQ(value["fer"], 0.4);
    EXPECT_TRUE(value["ber_low95"] < 0.03 && 0.03 < value["ber_high95"]);

    std::vector<std::vector<std::string>> plotted;  // the CSV columns of each curve
    const std::string script = GnuplotScript(run);
    const std::regex curve("'results.csv' using ([^ ]+)"), number("[0-9]+");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), curve); it != std::sregex_iterator(); ++it) {
        plotted.emplace_back();
        for (const std::string& field : Split((*it)[1], ':')) {
            std::smatch column;
            ASSERT_TRUE(std::regex_search(field, column, number)) << field;
            const size_t index = std::stoul(column[0]);
            ASSERT_TRUE(index >= 1 && index <= header.size()) << field;
            plotted.back().push_back(header[index - 1]);
        }
    }
    EXPECT_EQ(plotted, (std::vector<std::vector<std::string>>{{"ebn0_db", "ber", "ber_low95", "ber_high95"},
                                                              {"ebn0_db", "fer"}}));
}

}  // namespace
}  // namespace tpcsim
