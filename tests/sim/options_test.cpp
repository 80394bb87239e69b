// tpcsim's options: every bad value ends in its own message and exit code 2
// (never an exception), config files, the result files that a later run and
// the plot read back, and links set up from the options.
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "sim/link_setup.h"
#include "sim/options.h"
#include "sim/results.h"

namespace tpcsim {
namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::istringstream in(text);
    for (std::string part; std::getline(in, part, separator);) parts.push_back(part);
    return parts;
}

// Options written as on a command line, split at spaces.
ParseOutcome Parse(const std::string& args) {
    std::vector<std::string> argv = Split(args, ' ');
    argv.insert(argv.begin(), "tpcsim");
    return ParseOptions(argv);
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + "tpcsim_" + name;
    std::ofstream(path) << text;
    return path;
}

TEST(Options, EachBadValueGetsItsOwnMessage) {
    const std::string q = "--constellation examples/constellations/16qam.txt", q16 = q + " --points 16";
    const std::string help = "Run with --help";  // what the parser's own errors end with
    const std::pair<std::string, std::string> cases[] = {
        {"--nx abc", help}, {"--ebn0 1 --esn0 2", help}, {"--config /nonexistent/c.json", help},
        {"--nx 0", "--nx must be between 1 and 256"}, {"--ky 257", "--ky must be between 1"},
        {"--code 64,57", "--code: expected n,k x n,k"},
        {"--code 64,57x64", "--code: each axis is n,k (got \"64\")"},
        {"--code 64,5.5x64,57", "--code: \"5.5\" is not an integer"},
        {"--threshold inf", "--threshold must be a finite number"},
        {"--encoder-offset -1", "--encoder-offset must be between 0 and"},
        {"--iterations 129", "--iterations must be between 0 and 128"},
        {"--weights 7,7", "--weights: give X,Y,Z or one weight"},
        {"--weights 7,17,7", "each of --weights must be between 1 and 16"},
        {"--resolution 32", "--resolution must be between 1 and 31"},
        {"--quant-limit nan", "--quant-limit must be a positive number"},
        {"--offset -1", "--offset must be between 0 and"},
        {"--points 16", "--points and --llr-esno need --constellation"},
        {q, "--points (2 ... 256) is required with --constellation"},
        {q16 + " --llr-limit 0.001", "--llr-limit must be greater"},
        {q16 + " --llr-esno -1", "--llr-esno must be a positive"},
        {q16 + " --llr-resolution 0", "--llr-resolution must be"},
        {"--constellation /no/c.txt --points 16", "cannot open the constellation file \"/no/c"},
        {"--ebn0 1:0:0.5", "--ebn0: sweep: the step must lead"}, {"--ebn0 0:1:0", "the step must"},
        {"--ebn0 0:1", "--ebn0: sweep: expected START:STOP:STEP"},
        {"--ebn0 0:1000:0.01", "--ebn0: sweep: more than 1000 points"},
        {"--ebn0 101", "--ebn0: sweep: points must lie in -50 ... 100 dB"},
        {"--esn0 1,,2", "--esn0: sweep point: \"\" is not a number"},
        {"--errors 0", "--errors must be at least 1"}, {"--max-blocks 0", "--max-blocks must be"},
        {"--min-ber 1", "--min-ber must lie in [0, 1)"}, {"--threads -1", "--threads must be"},
        {"--batch 0", "--batch must be between 1 and"},
        // The first problem in the order of the checks is the one reported.
        {"--batch 0 --iterations 200 --nz 0", "--nz must be between"},
        // Every bound itself is accepted.
        {"--nx 256 --kz 1 --iterations 128 --weights 16,1,16 --resolution 31 --threads 1024"
         " --batch 1000000 --min-ber 0 --ebn0 -50,100", ""},
        {"--iterations 0 --resolution 1 " + q + " --points 256", ""}};
    for (const auto& [args, expected] : cases) {
        const ParseOutcome outcome = Parse(args);
        const std::string problem = outcome.exitCode == -1 ? ValidateOptions(outcome.options)
                                    : outcome.exitCode == 2 ? outcome.message : "exit code";
        if (expected.empty()) EXPECT_EQ(problem, "") << args;
        else EXPECT_NE(problem.find(expected), std::string::npos) << args << " gave: " << problem;
    }
}

// Points in Eb/N0; an Es/N0 sweep is converted with the rate and the bits per
// symbol: rate 1/4 BPSK is 6.02 dB apart, rate 1/4 16QAM not at all.
TEST(Options, SweepPoints) {
    const std::pair<std::string, std::vector<double>> cases[] = {
        {"--ebn0 1:2:0.5", {1, 1.5, 2}}, {"--ebn0 2:1:-0.5", {2, 1.5, 1}}, {"--ebn0 1,4,2.5", {1, 4, 2.5}},
        {"--ebn0 0:0.3:0.1", {0, 0.1, 0.2, 0.3}},  // the stop is kept despite rounding
        {"--ebn0 2:3.4:0.1", {2, 2.1, 2.2, 2.3, 2.4, 2.5, 2.6, 2.7, 2.8, 2.9, 3, 3.1, 3.2, 3.3, 3.4}},
        {"--code 8,4x8,4 --esn0 0,3", {6.0206, 9.0206}},
        {"--code 8,4x8,4 --esn0 0 --constellation examples/constellations/16qam.txt --points 16", {0}}};
    for (const auto& [args, expected] : cases) {
        const std::vector<double> points = SweepEbN0(Parse(args).options);
        ASSERT_EQ(points.size(), expected.size()) << args;
        for (size_t i = 0; i < points.size(); ++i) EXPECT_NEAR(points[i], expected[i], 1e-4) << args;
    }
}

TEST(Options, ConfigFilesAndTheCommandLineWins) {
    const std::string path = WriteTemp("config.txt", "# comment\nnx = 32\nkx=26   # trailing\n"
                                                     "seed = \"77\"\nselective-stop = true\n");
    const SimOptions o = Parse("--config " + path).options, over = Parse("--config " + path +
                                                                         " --nx 16 --seed 5").options;
    EXPECT_TRUE(o.nx == 32 && o.kx == 26 && o.seed == 77u && o.selectiveStop && o.configFile == path);
    EXPECT_TRUE(over.nx == 16 && over.seed == 5u && over.kx == 26);
    for (const std::string text : {"nx = 32\ncolour = blue\n", "{\"nx\": 32,", "nx 32\n"})
        EXPECT_EQ(Parse("--config " + WriteTemp("bad.json", text)).exitCode, 2) << text;
}

// Every setting goes through results.json and back in with --config, then to
// its node parameter: a key written under another name, or a value dropped or
// put in the wrong field, shows here.
TEST(Results, JsonReadBackWithConfigReachesEveryNodeParameter) {
    RunRecord run;
    run.options = Parse("--code 16,11x16,11x8,4 --kz 7 --threshold 0.25 --interleave --encoder-offset 3"
                        " --iterations 9 --weights 5,6,7 --selective-stop --resolution 4 --quant-limit 1.1"
                        " --offset 2 --constellation examples/constellations/16qam.txt --points 16"
                        " --llr-esno 4.5 --llr-limit 1.25 --llr-resolution 6 --esn0 1:2:0.5 --errors 33"
                        " --max-blocks 444 --min-ber 1e-5 --seed 77 --batch 9").options;
    const ParseOutcome back = Parse("--config " + WriteTemp("results.json", FormatJson(run)));
    ASSERT_EQ(back.exitCode, -1) << back.message;
    const SimOptions& o = back.options;
    const devhost::LinkConfig c = MakeLinkConfig(o, devhost::LinkConfig{}, 1.5);
    const auto& e = c.encoder;
    const auto& d = c.decoder;
    // --kz refines --code; interleave reaches both nodes.
    const std::vector<double> got = {
        double(e.nx), double(d.ky), double(e.nz), double(d.kz), e.threshold, double(e.interleave),
        double(d.deinter), e.delay, double(d.iterations), double(d.NUMX), double(d.NUMY),
        double(d.NUMZ), double(d.selectstp), double(d.resolution), d.quantLimit, d.delay,
        double(c.llr.numsym), double(c.llrEsNoFromChannel), c.llr.esno, c.llr.quantLimit,
        double(c.llr.res), c.ebN0Db, double(o.sweepIsEsN0), double(o.errors), double(o.maxBlocks),
        o.minBer, double(o.seed), double(o.batch)};
    EXPECT_EQ(got, (std::vector<double>{16, 11, 8, 7, 0.25, 1, 1, 3, 9, 5, 6, 7, 1, 4, 1.1, 2, 16, 0,
                                        4.5, 1.25, 6, 1.5, 1, 33, 444, 1e-5, 77, 9}));
    EXPECT_EQ(c.constellation + " " + o.sweep, "examples/constellations/16qam.txt 1:2:0.5");
}

// The plot reads results.csv by column number: x is Eb/N0, then the BER with
// its interval, and the FER. 10 wrong bits of 100 in 4 of 10 blocks; the
// published 95% Wilson interval of 10 in 100 is [0.05523, 0.17437].
TEST(Results, PlotReadsTheCsvColumnsOfItsCurves) {
    RunRecord run;
    run.points.resize(1);
    run.points[0].ebN0Db = 2;
    run.points[0].counts = {10, 100, 10, 4};  // blocks, bits, bit errors, block errors
    const std::vector<std::string> lines = Split(FormatCsv(run), '\n');
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::string> header = Split(lines[0], ','), row = Split(lines[1], ',');
    ASSERT_EQ(header.size(), row.size());
    std::map<std::string, double> value;
    for (size_t i = 0; i < header.size(); ++i) value[header[i]] = std::stod(row[i]);
    EXPECT_EQ(value["ebn0_db"], 2.0);
    EXPECT_EQ(value["ber"], 0.1);
    EXPECT_EQ(value["fer"], 0.4);
    EXPECT_NEAR(value["ber_low95"], 0.05523, 1e-5);
    EXPECT_NEAR(value["ber_high95"], 0.17437, 1e-5);

    std::vector<std::vector<std::string>> plotted;  // the CSV columns of each curve
    const std::string script = GnuplotScript(run);
    const std::regex curve("'results.csv' using ([^ ]+)"), number("[0-9]+");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), curve);
         it != std::sregex_iterator(); ++it) {
        plotted.emplace_back();
        for (const std::string& field : Split((*it)[1], ':')) {
            std::smatch column;
            ASSERT_TRUE(std::regex_search(field, column, number)) << field;
            const size_t index = std::stoul(column[0]);
            ASSERT_TRUE(index >= 1 && index <= header.size()) << field;
            plotted.back().push_back(header[index - 1]);
        }
    }
    EXPECT_EQ(plotted, (std::vector<std::vector<std::string>>{
                           {"ebn0_db", "ber", "ber_low95", "ber_high95"}, {"ebn0_db", "fer"}}));
}

// Links set up from the options, through the loaded library, at 30 dB: any
// misalignment of the meter would show as errors in about half the bits.
// Under emulation the first two only.
TEST(Options, MeterIsAlignedOnEveryKindOfLink) {
    static const devhost::Library library(devhost::DefaultLibraryPath());
    const std::string dir = " --constellation examples/constellations/";
    const std::string links[] = {
        "--code 8,7x8,4 --offset 64",  // one whole block later
        "--code 16,11x8,4 --interleave --points 8" + dir + "8psk.txt", "--iterations 8",
        "--code 16,11x16,11 --points 16" + dir + "16qam.txt"};
    for (size_t i = 0; i < (std::getenv("TPC_TEST_EMULATED") ? 2 : std::size(links)); ++i) {
        const ParseOutcome outcome = Parse(links[i]);
        ASSERT_EQ(ValidateOptions(outcome.options), "") << links[i];
        const auto config = MakeLinkConfig(outcome.options, DefaultLinkConfig(library), 30.0);
        devhost::Link link(library, config);
        const LinkCounts counts = link.run(5, 42);
        EXPECT_EQ(counts.blocks, 5) << links[i];
        EXPECT_EQ(counts.bitErrors, 0) << links[i] << ", seed 42";
        EXPECT_EQ(counts.bits, 5 * link.geometry().infoBits) << links[i];
    }
}

}  // namespace
}  // namespace tpcsim
