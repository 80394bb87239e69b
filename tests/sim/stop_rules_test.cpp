// The rules that end a sweep after a point: a point of --max-blocks blocks
// without a block error (unless --no-zero-stop), --min-fer; each says why,
// and the point that ends the sweep keeps its row. New stop options stay out
// of results.json at their defaults, so that default runs resume older
// directories.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sim/option_checks.h"
#include "sim/options.h"
#include "sim_command_line.h"
#include "sim/sweep.h"

namespace tpcsim {
namespace {

// Every block wrong below 0.5 dB, one in 16 below 1.5 dB, none above.
class FallingErrors : public UnitRunner {
public:
    explicit FallingErrors(double ebN0Db) : ebN0Db_(ebN0Db) {}
    LinkCounts run(int64_t blocks, uint64_t) override {
        const int64_t wrong = ebN0Db_ < 0.5 ? blocks : ebN0Db_ < 1.5 ? blocks / 16 : 0;
        return LinkCounts{blocks, blocks * 16, wrong, wrong, wrong};
    }

private:
    double ebN0Db_;
};

SimOptions Options(const std::string& extra) {
    return CommandLineOptions("--code 8,4x8,4 --ebn0 0,1,2,3 --max-blocks 64 --errors 1000 --threads 1 --min-ber 0 " +
                              extra);
}

TEST(StopRules, EndTheSweepAfterTheirPointAndSaySo) {
    const struct {
        const char* options;
        std::vector<double> points;
        std::string note;  // the start of the note on why the sweep ended; "" for none
    } cases[] = {
        {"", {0, 1, 2}, "no block error in 64 blocks: the sweep ends here (--no-zero-stop to go on)"},
        {"--no-zero-stop", {0, 1, 2, 3}, ""},
        {"--min-fer 0.2", {0, 1}, "FER upper bound below --min-fer 2.0e-01"},
        {"--no-zero-stop --min-fer 0.01", {0, 1, 2, 3}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        std::string notes;
        SweepHooks hooks;
        hooks.makeRunner = [](const tpc::link::LinkDescription& description) {
            return std::make_unique<FallingErrors>(description.ebN0Db);
        };
        hooks.note = [&notes](const std::string& text) { notes += text + "\n"; };
        Sweep sweep(Options(c.options), hooks);
        sweep.run();
        std::vector<double> points;
        for (const PointRecord& p : sweep.record().points) {
            points.push_back(p.ebN0Db);
            EXPECT_EQ(p.counts.blocks, 64);
            EXPECT_GT(p.ferInterval().high, 0) << "a point without errors keeps its upper bound";
        }
        EXPECT_EQ(points, c.points);
        EXPECT_EQ(notes.substr(0, c.note.empty() ? std::string::npos : c.note.size()), c.note);
    }
}

TEST(StopRules, StandInTheConfigurationOnlyAwayFromTheirDefaults) {
    const nlohmann::ordered_json defaults = ConfigurationJson(Options(""));
    EXPECT_FALSE(defaults.contains("min-fer") || defaults.contains("no-zero-stop")) << defaults.dump();
    const nlohmann::ordered_json set = ConfigurationJson(Options("--min-fer 1e-3 --no-zero-stop"));
    EXPECT_EQ(set.value("min-fer", 0.0), 1e-3);
    EXPECT_EQ(set.value("no-zero-stop", false), true);
}

}  // namespace
}  // namespace tpcsim
