// `tpcsim plot`'s arguments and legends, and what --fer leaves on the page.
#include <filesystem>
#include <regex>
#include <set>

#include <gtest/gtest.h>

#include "sim/plot_command.h"
#include "sim/plot_script.h"

namespace tpcsim {
namespace {

TEST(Plot, BadArgumentsRefusedWithTheirMessage) {
    const struct {
        std::vector<std::string> args;
        const char* message;
    } cases[] = {
        {{"a", "--legend", "x", "-o", "p.png"}, "unknown option --legend"},
        {{"a", "-o"}, "-o needs a value"},
        {{"a", "-o", "p.png", "--title"}, "--title needs a value"},
        {{"a", "--ebn0-range", "1"}, "--ebn0-range takes LO:HI"},
        {{"a", "--ebn0-range", "1:x"}, "--ebn0-range takes LO:HI"},
        {{"a", "--ebn0-range", ":2"}, "--ebn0-range takes LO:HI"},
        {{"a", "--ebn0-range", "3:3"}, "LO must be below HI"},
        {{"a", "--ber-range", "1e-2:1e-6"}, "LO must be below HI"},
        {{"a", "--ber-range", "0:1"}, "above 0"},
        {{"a", "--ber-range", "-1e-6:1"}, "above 0"},
        {{"a", "--ber-range", "1e-6:inf"}, "--ber-range takes LO:HI"},
        {{"=mine", "-o", "p.png"}, "a label without a directory"},
    };
    for (const auto& c : cases) {
        std::string joined;
        for (const std::string& arg : c.args) joined += arg + " ";
        try {
            ParsePlotArguments(c.args);
            ADD_FAILURE() << joined << "accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << joined << ": " << e.what();
        }
    }
}

// A label follows the last '=' of an existing directory's name; anything else names a directory whole.
TEST(Plot, LabelSplitOffOnlyAfterADirectory) {
    const std::string dir = testing::TempDir() + "tpcsim_plot_a=b";
    std::filesystem::create_directories(dir);
    const PlotArguments parsed = ParsePlotArguments(
        {dir + "=first run", dir, testing::TempDir() + "none=x", "--ber-range", "1e-6:0.5", "-o", "p.pdf"});
    EXPECT_EQ(parsed.dirs, (std::vector<std::string>{dir, dir, testing::TempDir() + "none=x"}));
    EXPECT_EQ(parsed.labels, (std::vector<std::string>{"first run", "", ""}));
    EXPECT_EQ(std::make_pair(parsed.errorRateRange.low, parsed.errorRateRange.high), std::make_pair(1e-6, 0.5));
    std::filesystem::remove_all(dir);
}

TEST(Plot, LegendNamesTheSeedWhenItDiffers) {
    const nlohmann::json seed1 = {{"nx", 16}, {"kx", 11}, {"seed", 1}, {"engine", "host"}};
    nlohmann::json seed7 = seed1, otherEngine = seed1;
    seed7["seed"] = 7;
    otherEngine["engine"] = "nodes";
    EXPECT_EQ(LegendTexts({seed1, seed7}), (std::vector<std::string>{"seed 1", "seed 7"}));
    // The engine does not change the link: both curves name the code.
    const std::vector<std::string> same = LegendTexts({seed1, otherEngine});
    EXPECT_EQ(same[0], same[1]);
}

// --fer: the runs' FER and the outage references, no BER and no uncoded curve.
TEST(Plot, FerPageDrawsNoBer) {
    PlotPage page;
    page.outputs = {"p.svg"};
    page.ferOnly = true;
    page.uncoded.push_back({"", "uncoded BPSK"});
    page.outage.push_back({"outage.csv", "outage"});
    page.runs.push_back({"a.csv", "a", 1, 2, 1e-3, 1e-2, ""});
    page.runs.push_back({"b.csv", "b", 1, 2, 1e-3, 1e-2, ""});
    const std::string script = GnuplotScript(page);
    std::set<std::string> columns;
    const std::regex column("column\\('([a-z_0-9]+)'\\)");
    for (auto it = std::sregex_iterator(script.begin(), script.end(), column); it != std::sregex_iterator(); ++it) {
        columns.insert((*it)[1]);
    }
    EXPECT_EQ(columns, (std::set<std::string>{"fer", "outage_probability"}));
    EXPECT_EQ(script.find("erfc"), std::string::npos);
}

}  // namespace
}  // namespace tpcsim
