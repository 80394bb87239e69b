// tpcsim in one process: every bad option ends in its own message and exit code 2 (never an exception), sweep
// points, the result files that a later run and the plot read back, and whole links set up from the options and
// run through the library's real entry points.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <gtest/gtest.h>

#include "devhost/link.h"
#include "link/block_engine.h"
#include "sim/link_setup.h"
#include "sim/option_checks.h"
#include "sim/options.h"
#include "sim/plot_script.h"
#include "sim/result_store.h"
#include "sim/results.h"
#include "trial_count.h"

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
    return ParseOptions(Split("tpcsim " + args, ' '));
}

const std::string k16Qam = "--constellation examples/constellations/16qam.txt";

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + "tpcsim_" + name;
    std::ofstream(path) << text;
    return path;
}

TEST(Options, EachBadValueGetsItsOwnMessage) {
    const std::string q = k16Qam, q16 = q + " --points 16";
    const std::string help = "Run with --help";  // what the parser's own errors end with
    const std::pair<std::string, std::string> cases[] = {
        {"--nx abc", help}, {"--ebn0 1 --esn0 2", help}, {"--config /nonexistent/c.json", help},
        {"--nx 0", "--nx must be between 1 and 256"}, {"--ky 257", "--ky must be between 1"},
        {"--code 64,5.5x64,57", "--code: a product code is n,k per axis"},
        {"--threshold inf", "--threshold must be a finite number"},
        {"--encoder-offset -1", "--encoder-offset must be between 0 and"},
        {"--iterations 129", "--iterations must be between 0 and 128"},
        {"--weights 7,7", "--weights: give X,Y,Z or one weight"},
        {"--weights 7,17,7", "each of --weights must be between 1 and 16"},
        {"--resolution 32", "--resolution must be between 1 and 31"},
        {"--quant-limit nan", "--quant-limit must be a positive number"},
        {"--offset -1", "--offset must be between 0 and"},
        {"--points 16", "--points and --llr-esno need --constellation"},
        {"--llr exact", "--llr exact needs a --constellation"},
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
        {"--ebn0  --seed 3", "--ebn0 needs a value"}, {"--code  --seed 3", "--code needs a value"},
        {"--seed -1", "--seed: must be a whole number"}, {"--nx 8 --ny 8 --nx 16", "--nx is given more than once"},
        {"--threads 1025", "--threads must be between 0 (all cores) and 1024"},
        {"--code 8,4x8,4x2,1", "--nz 2 with --kz 1: the nodes encode and decode only the first layer"},
        {"--engine fast", "--engine must be blocks or nodes"},
        {"--channel rician --engine nodes", "--channel rician: the nodes engine models an AWGN link"}, {"--encoder-offset 3", "the encoder would drop"},
        {"--offset 5", "would straddle the encoder's; use 0 or 4096"}, {"--offset 8192", "start after the first block"},
        {k16Qam + " --points 16 --offset 4096", "use 0 or 3 or 4099"}, {"--max-time -1", "--max-time must be"},
        {"--config " + WriteTemp("typo.ini", "maxblocks = 5\n"), "unknown key \"maxblocks\" in the config"},
        // The first problem in the order of the checks is the one reported.
        {"--batch 0 --iterations 200 --nz 0", "--nz must be between"},
        // Every bound itself is accepted.
        {"--nx 256 --kz 1 --iterations 128 --weights 16,1,16 --resolution 31 --threads 1024"
         " --batch 1000000 --min-ber 0 --ebn0 -50,100", ""},
        {"--iterations 0 --resolution 1 --constellation examples/constellations/256qam.txt --points 256", ""},
        // The file holds exactly M points, labelled 0 ... M-1 in some order.
        {q + " --points 4", "\"examples/constellations/16qam.txt\" holds 16 points, --points is 4"},
        {"--constellation " + WriteTemp("3.txt", "4 0 1 0 1 0 1 2 -1 0") + " --points 4", "holds 3 points"},
        {"--constellation " + WriteTemp("2.txt", "2 0 -1 0 0 1 0") + " --points 2", "permutation of 0 ... 1; label 0 is "
                                                                                    "repeated"},
        {"--constellation " + WriteTemp("x.txt", "2 0 -1 0 1 1 x") + " --points 2", "point 1 Q: \"x\" is not a number"},
        // Files that never end are refused at their limits.
        {"--constellation /dev/zero --points 16", "constellation file \"/dev/zero\" is longer than 1048576 bytes"},
        {"--config /dev/zero", "the config file is longer than 4194304 bytes"}};
    for (const auto& [args, expected] : cases) {
        const ParseOutcome outcome = Parse(args);
        const std::string problem = outcome.exitCode == -1 ? ValidateOptions(outcome.options)
                                    : outcome.exitCode == 2 ? outcome.message : "exit code";
        if (expected.empty()) EXPECT_EQ(problem, "") << args;
        else EXPECT_NE(problem.find(expected), std::string::npos) << args << " gave: " << problem;
    }
}

// Points in Eb/N0, the stop kept despite rounding; an Es/N0 sweep is
// converted with the rate and the bits per symbol: rate 1/4 BPSK is 6.02 dB
// apart, rate 1/4 16QAM not at all.
TEST(Options, SweepPoints) {
    const std::pair<std::string, std::vector<double>> cases[] = {
        {"--ebn0 2:1:-0.5", {2, 1.5, 1}}, {"--ebn0 0:0.3:0.1", {0, 0.1, 0.2, 0.3}},
        {"--code 8,4x8,4 --esn0 0,3", {6.0206, 9.0206}},
        {"--code 8,4x8,4 --esn0 0 --points 16 " + k16Qam, {0}}};
    for (const auto& [args, expected] : cases) {
        SCOPED_TRACE(args);
        const std::vector<double> points = SweepEbN0(Parse(args).options);
        ASSERT_EQ(points.size(), expected.size());
        for (size_t i = 0; i < points.size(); ++i) EXPECT_NEAR(points[i], expected[i], 1e-4);
    }
}

// Every setting goes through results.json and back in with --config, then to
// its node parameter: a key written under another name, or a value dropped or
// put in the wrong field, shows here. The command line wins over the file,
// and a broken file is a bad option.
TEST(Results, JsonReadBackWithConfigReachesEveryNodeParameter) {
    RunRecord run;
    run.options = Parse("--code 16,11x16,11x8,4 --kz 7 --threshold 0.25 --interleave --iterations 9"
                        " --encoder-offset 3 --weights 5,6,7 --selective-stop --resolution 4"
                        " --quant-limit 1.1 --offset 2 --points 16 --llr-esno 4.5 --llr-limit 1.25"
                        " --llr-resolution 6 --esn0 1:2:0.5 --errors 33 --max-blocks 444"
                        " --min-ber 1e-5 --seed 77 --batch 9 " + k16Qam).options;
    const std::string path = WriteTemp("results.json", FormatJson(run));
    const ParseOutcome back = Parse("--config " + path);
    ASSERT_EQ(back.exitCode, -1) << back.message;
    EXPECT_EQ(Parse("--config " + path + " --seed 5").options.seed, 5u);
    const SimOptions lines = Parse("--config " + WriteTemp("c.txt", "kx=26 #\nseed=\"7\"")).options;
    EXPECT_TRUE(lines.kx == 26 && lines.seed == 7u);
    for (const std::string text : {"{\"nx\": 32,", "{\"colour\": 1}", "nx = 32\nkx 26\n"})
        EXPECT_EQ(Parse("--config " + WriteTemp("bad.json", text)).exitCode, 2) << text;
    const SimOptions& o = back.options;
    const tpc::link::LinkDescription description = MakeLinkDescription(o, 1.5, o.iterations.front());
    const devhost::NodeBlocks c = devhost::NodeBlocksOf(tpc::link::PrepareLink(description), {});
    const auto& e = c.encoder;
    const auto& d = c.decoder;
    // --kz refines --code; interleave reaches both nodes.
    const std::vector<double> got = {
        double(e.nx), double(d.ky), double(e.nz), double(d.kz), e.threshold, double(e.interleave),
        double(d.deinter), e.delay, double(d.iterations), double(d.NUMX), double(d.NUMY),
        double(d.NUMZ), double(d.selectstp), double(d.resolution), d.quantLimit, d.delay,
        double(c.llr.numsym), double(description.llrEsNoFromChannel), c.llr.esno, c.llr.quantLimit,
        double(c.llr.res), description.ebN0Db, double(o.sweepIsEsN0), double(o.errors), double(o.maxBlocks),
        o.minBer, double(o.seed), double(o.batch)};
    EXPECT_EQ(got, (std::vector<double>{16, 11, 8, 7, 0.25, 1, 1, 3, 9, 5, 6, 7, 1, 4, 1.1, 2, 16,
                                        0, 4.5, 1.25, 6, 1.5, 1, 33, 444, 1e-5, 77, 9}));
    EXPECT_EQ(description.constellation + " " + o.sweep, "examples/constellations/16qam.txt 1:2:0.5");
}

// The plot reads results.csv by column name: x is Eb/N0, then the BER with
// its interval, and the FER. 20 wrong bits of 100 in 8 of 10 blocks of 10 bits, 2 or 3 in each (squares sum to
// 52): the BER interval is the mean 2 +- 1.96 * sqrt((52 - 40) / 9 / 10) per block, over 10 bits; the FER interval
// is the published 95% Wilson interval of 8 in 10, [0.49016, 0.94332].
// A results.json that never ends, for --resume and merge.
TEST(Results, StoredRunOfAnEndlessFileRefused) {
    const std::filesystem::path dir = testing::TempDir() + "tpcsim_endless_run";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(dir / "results.json");
    std::filesystem::create_symlink("/dev/zero", dir / "results.json");
    try {
        ReadStoredRun(dir.string());
        ADD_FAILURE() << "an endless results.json read";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("results.json is longer than 4194304 bytes"), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(dir);
}

// Members of a results.json of the wrong type, or negative counts, are a file tpcsim did not write, not a JSON
// library error; counts whose sums pass 64 bits are refused by merge rather than wrapped (but for the squares,
// which saturate as they do within a run).
TEST(Results, StoredRunOfOtherTypesRefusedAndOverflowingCountsNotPooled) {
    for (const char* text : {R"({"program": 5, "configuration": {}, "points": []})",
                             R"({"program": "tpcsim", "configuration": [3], "points": []})",
                             R"({"program": "tpcsim", "configuration": {}, "points": [], "seeds": [1, "x"]})",
                             R"({"program": "tpcsim", "configuration": {}, "points": [{"bit_errors": -1}]})"}) {
        try {
            ParseStoredRun(text, "r.json");
            ADD_FAILURE() << text;
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "r.json was not written by tpcsim") << text;
        }
    }
    const StoredRun run = ParseStoredRun(
        R"({"program": "tpcsim", "configuration": {}, "points": [{"ebn0_db": 1, "blocks": 9223372036854775807}]})", "r");
    EXPECT_THROW(PoolPoints({run.points, run.points}, false), std::runtime_error);
    EXPECT_EQ(PoolPoints({run.points}, false).at(0).counts.blocks, INT64_MAX);
    const StoredRun squares = ParseStoredRun(
        R"({"program": "tpcsim", "configuration": {}, "points": [{"bit_errors_squared": 9223372036854775807}]})", "r");
    EXPECT_EQ(PoolPoints({squares.points, squares.points}, false).at(0).counts.bitErrorsSquared, INT64_MAX);
}

TEST(Results, PlotReadsTheCsvColumnsOfItsCurves) {
    RunRecord run;
    run.points.push_back({2, 0, {10, 100, 20, 8, 52}, 0});  // 2 dB; blocks, bits, bit errors, block errors, squares
    const std::vector<std::string> lines = Split(FormatCsv(run), '\n');
    ASSERT_EQ(lines.size(), 2u);
    const std::vector<std::string> header = Split(lines[0], ',');
    std::vector<std::string> row = Split(lines[1], ',');
    if (lines[1].back() == ',') row.emplace_back();  // the last fields, known to the block engine only, are empty
    ASSERT_EQ(header.size(), row.size());
    const size_t known = header.size() - 2;
    EXPECT_EQ(header[known] + "=" + row[known] + " " + header.back() + "=" + row.back(),
              "avg_passes= undetected_blocks=");
    std::map<std::string, double> value;
    for (size_t i = 0; i < known; ++i) value[header[i]] = std::stod(row[i]);
    EXPECT_EQ((std::vector<double>{value["ebn0_db"], value["ber"], value["fer"]}), (std::vector<double>{2, 0.2, 0.8}));
    EXPECT_NEAR(value["ber_low95"], 0.128434, 1e-5);
    EXPECT_NEAR(value["ber_high95"], 0.271566, 1e-5);
    EXPECT_NEAR(value["fer_low95"], 0.490162, 1e-5);
    EXPECT_NEAR(value["fer_high95"], 0.943318, 1e-5);

    std::vector<std::vector<std::string>> plotted;  // the CSV columns of each curve
    const std::string script = GnuplotScript(RunPlotPage(run));
    const std::regex curve("'results.csv' using ([^ ]+)");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), curve);
         it != std::sregex_iterator(); ++it) {
        plotted.emplace_back();
        for (const std::string& field : Split((*it)[1], ':')) {  // 'ebn0_db' or (nz(column('ber'))): the name
            const std::string name = field.substr(field.find('\'') + 1, field.rfind('\'') - field.find('\'') - 1);
            EXPECT_NE(std::find(header.begin(), header.end(), name), header.end()) << name;
            plotted.back().push_back(name);
        }
    }
    EXPECT_EQ(plotted, (std::vector<std::vector<std::string>>{
                           {"ebn0_db", "ber", "ber_low95", "ber_high95"}, {"ebn0_db", "fer"}}));
}

const devhost::Library& TheLibrary() {
    static const devhost::Library library(devhost::DefaultLibraryPath());
    return library;
}

// A worker's link through the library's entry points.
class NodesRunner : public UnitRunner {
public:
    explicit NodesRunner(const tpc::link::LinkDescription& description) : link_(TheLibrary(), description) {}
    LinkCounts run(int64_t blocks, uint64_t seed) override { return link_.run(blocks, seed); }

private:
    devhost::Link link_;
};

// The link of tpcsim's options.
tpc::link::LinkDescription Config(const std::string& options, double ebN0Db) {
    const SimOptions o = Parse(options).options;
    return MakeLinkDescription(o, ebN0Db, o.iterations.front());
}
const std::string kDir = " --constellation " TPC_SOURCE_DIR "/examples/constellations/";

// tpcsim's defaults are the blocks the loaded library writes for a new node
// (PARAMETER action -1), byte for byte, reserved bytes included; only M,
// which tpcsim asks for, is left out.
TEST(Options, DefaultsAreTheLibrarysOwnBlocks) {
    const devhost::NodeBlocks library = devhost::LibraryNodeBlocks(TheLibrary());
    devhost::NodeBlocks ours = devhost::NodeBlocksOf(tpc::link::PrepareLink(Config("", 0)), library);
    EXPECT_EQ(std::memcmp(&ours.encoder, &library.encoder, sizeof ours.encoder), 0);
    EXPECT_EQ(std::memcmp(&ours.decoder, &library.decoder, sizeof ours.decoder), 0);
    tpc::link::LinkDescription qpsk = Config("--points 4" + kDir + "qpsk.txt", 0);
    qpsk.llrEsNoFromChannel = false;
    ours = devhost::NodeBlocksOf(tpc::link::PrepareLink(qpsk), library);
    ours.llr.numsym = library.llr.numsym;
    std::memcpy(ours.llr.file, library.llr.file, sizeof ours.llr.file);
    EXPECT_EQ(std::memcmp(&ours.llr, &library.llr, sizeof ours.llr), 0);
}

TEST(LinkRuns, NoiselessRoundTripsAndAMismatchRefused) {
    // Both edges of the code sizes, a parity-check axis, three axes,
    // interleaving in two and three dimensions, a decoder offset of one whole
    // block, and an interleaved code over 8PSK.
    const std::string links[] = {
        "--code 8,4x8,4", "--code 32,26x16,11", "--code 256,247x4,3", "--code 5,4x3,2",
        "--code 16,11x8,4x4,3", "--code 16,11x16,11 --interleave",
        "--code 16,11x8,4x8,4 --interleave", "--code 8,7x8,4 --offset 64",
        "--code 16,11x8,4 --interleave --points 8" + kDir + "8psk.txt"};
    for (const std::string& options : links) {
        tpc::link::LinkDescription config = Config(options + " --iterations 4", 0);
        config.noiseless = true;
        const LinkCounts c = devhost::Link(TheLibrary(), config).run(3, 99);
        const int64_t bits = 3 * tpc::link::GeometryOf(config).infoBits;
        EXPECT_EQ((std::vector<int64_t>{c.blocks, c.bits, c.bitErrors}), (std::vector<int64_t>{3, bits, 0})) << options;
    }
    EXPECT_THROW(devhost::Library("/nonexistent/libtpc.so"), std::runtime_error);
    // The decoder's blocks straddle the encoder's: no lag fits.
    EXPECT_THROW(devhost::Link(TheLibrary(), Config("--code 8,4x8,4 --offset 5", 0)), std::runtime_error);
}

// A two-point constellation at +-3 (symbol energy 9) with a rate 1/4 code:
// Eb/N0 = 6.02 dB is Es/N0 = 0 dB, so N0 = 9, sigma = sqrt(9 / 2), and the
// LLR table follows the channel with the linear Es/N0 per unit energy, 1/9.
TEST(LinkRuns, NoiseAndLlrScaleFollowTheSymbolEnergy) {
    const std::string path = WriteTemp("wide_pair.txt", "2\n0 -3 0\n1 3 0\n");
    const std::string options = "--code 8,4x8,4 --points 2 --constellation " + path;
    const devhost::Link link(TheLibrary(), Config(options, 10 * std::log10(4.0)));
    EXPECT_NEAR(link.noiseSigma(), std::sqrt(4.5), 1e-12);
    EXPECT_NEAR(link.blocks().llr.esno, 1.0 / 9, 1e-12);
}

// The default code, alone and behind the LLR calculator: noiseless round
// trips (integer soft input, interleaved), every bit right at a comfortable
// Eb/N0 and many wrong as it drops. Selective stop keeps it short; under
// emulation only BPSK and 16QAM, the one nearest its waterfall.
TEST(LinkRuns, DefaultCodeOverEachModulation) {
    const std::string modulations[] = {
        "", "--points 16" + kDir + "16qam.txt", "--points 2" + kDir + "bpsk_pair.txt",
        "--points 4" + kDir + "qpsk.txt", "--points 8" + kDir + "8psk.txt"};
    for (size_t i = 0; i < (Emulated() ? 2 : std::size(modulations)); ++i) {
        const std::string m = modulations[i] + " --selective-stop";
        SCOPED_TRACE(m + ", seed 11 for the noise");
        tpc::link::LinkDescription clean = Config(m + " --interleave", 0);
        clean.noiseless = true;
        EXPECT_EQ(devhost::Link(TheLibrary(), clean).run(2, 5).bitErrors, 0);
        const LinkCounts good = devhost::Link(TheLibrary(), Config(m, i > 0 ? 7 : 4)).run(4, 11);
        const LinkCounts bad = devhost::Link(TheLibrary(), Config(m, i > 0 ? 1 : 2)).run(4, 11);
        EXPECT_EQ((std::vector<int64_t>{good.blocks, good.bitErrors}), (std::vector<int64_t>{4, 0}));
        EXPECT_GT(bad.bitErrors, good.bits / 1000);
    }
}

// Through the sweep engine: the noise (and a fading channel's gains) follow
// the unit seeds, and the counts do not depend on which worker's link ran
// which unit.
TEST(LinkRuns, CountsFollowTheSeedNotTheThreads) {
    const std::pair<std::string, double> links[] = {
        {"--code 8,4x8,4 --engine nodes", 1.0},
        {"--code 8,4x8,4 --channel rayleigh", 1.5},
        {"--code 8,4x8,4 --channel rician --rician-k 4 --fading block --points 16" + kDir + "16qam.txt", 3.0}};
    for (const auto& [options, ebN0] : links) {
        SCOPED_TRACE(options);
        const tpc::link::LinkDescription config = Config(options, ebN0);
        const bool nodes = options.find("nodes") != std::string::npos;
        const RunnerFactory runners = [&](int) -> std::unique_ptr<UnitRunner> {
            if (nodes) return std::make_unique<NodesRunner>(config);
            return std::make_unique<BlockRunner>(config);
        };
        std::vector<int64_t> bitErrors;  // by seed and threads
        for (uint64_t seed : {1, 2024})
            for (int threads : {1, 2}) {
                const PointResult r = RunPoint({seed, 0, 5, {40, 400}, threads}, runners, {}, {});
                EXPECT_GE(r.counts.blockErrors, 40) << "seed " << seed << ": the test needs noise";
                bitErrors.push_back(r.counts.bitErrors);
            }
        EXPECT_EQ(bitErrors[0], bitErrors[1]) << "seed 1, one thread and two";
        EXPECT_EQ(bitErrors[2], bitErrors[3]) << "seed 2024, one thread and two";
        EXPECT_NE(bitErrors[0], bitErrors[2]) << "the noise does not follow the seed";
    }
}

// The block engine against the nodes through their entry points: the same
// source bits, noise and decisions, so the same counts to the unit, near
// each link's waterfall where both right and wrong blocks occur. Offsets:
// a decoder a whole block late, and one behind 8PSK whose symbols straddle
// blocks (N = 128 is not a multiple of 3).
TEST(BlockEngine, CountsEqualTheNodes) {
    const std::pair<std::string, double> links[] = {
        {"--code 16,11x16,11", 1.5}, {"--code 8,4x8,4x8,4 --interleave", 2.0},
        {"--code 16,11x8,7 --selective-stop --resolution 7 --quant-limit 2", 3.0},
        {"--code 8,7x8,4 --offset 64 --interleave", 1.5},
        {"--code 16,11x8,4 --interleave --points 8" + kDir + "8psk.txt", 2.5},
        {"--code 16,11x16,11 --selective-stop --points 16" + kDir + "16qam.txt", 3.0},
        {"--code 8,4x8,4 --offset 65 --points 4" + kDir + "qpsk.txt --llr-esno 2", 1.0}};
    for (const auto& [options, ebN0] : links) {
        SCOPED_TRACE(options);
        const tpc::link::LinkDescription config = Config(options + " --iterations 8", ebN0);
        devhost::Link nodes(TheLibrary(), config);
        tpc::link::BlockEngine blocks(config);
        int64_t blockErrors = 0;
        for (uint64_t seed : {3, 4}) {
            const LinkCounts a = nodes.run(12, seed), b = blocks.run(12, seed);
            EXPECT_EQ((std::vector<int64_t>{a.blocks, a.bits, a.bitErrors, a.blockErrors, a.bitErrorsSquared}),
                      (std::vector<int64_t>{b.blocks, b.bits, b.bitErrors, b.blockErrors, b.bitErrorsSquared}));
            blockErrors += b.blockErrors;
            EXPECT_GE(b.passes, b.blocks) << "the decoder's passes are counted";
        }
        EXPECT_GT(blockErrors, 0) << "the point must be in the waterfall";
        EXPECT_LT(blockErrors, 24) << "the point must be in the waterfall";
    }
    // No pass at all: the delay comes from a pilot that decodes, and half the
    // bits (the zeros the decoder leaves) are wrong.
    const tpc::link::LinkDescription idle = Config("--code 8,4x8,4 --iterations 0", 3.0);
    const LinkCounts a = devhost::Link(TheLibrary(), idle).run(50, 1), b = tpc::link::BlockEngine(idle).run(50, 1);
    EXPECT_EQ(a.bitErrors, b.bitErrors);
    EXPECT_NEAR(static_cast<double>(b.bitErrors) / b.bits, 0.5, 0.07);
    tpc::link::LinkDescription late = Config("--code 8,4x8,4 --offset 1", 2.0);
    EXPECT_THROW(tpc::link::BlockEngine{late}, std::runtime_error);
    late.decoder.iterations = 200;
    EXPECT_THROW(tpc::link::BlockEngine{late}, std::runtime_error);
}

// A BER never leaves FER / K ... FER, and a point without errors has an upper end only.
TEST(Statistics, BlockBerIntervalKeepsTheBlockBounds) {
    const Interval none = BlockBerInterval({10, 100, 0, 0, 0});
    EXPECT_EQ(none.low, 0.0);
    EXPECT_NEAR(none.high, 0.277533, 1e-6);  // Wilson's upper end for 0 of 10 blocks
    // One block of 10 with all 10 bits wrong: mean - 1.96 s would be negative; FER's lower end over K holds.
    const Interval burst = BlockBerInterval({10, 100, 10, 100, 1});
    EXPECT_NEAR(burst.low, 0.00178762, 1e-7);
    EXPECT_NEAR(burst.high, 0.296, 1e-3);
}

}  // namespace
}  // namespace tpcsim
