#include "sim/options.h"

#include <iterator>
#include <memory>
#include <stdexcept>

#include <CLI/CLI.hpp>

#include "sim/config_file.h"
#include "sim/option_table.h"
#include "sim/shell_words.h"

namespace tpcsim {

namespace {

// Lets CLI11 read our config files (JSON or key = value) while it keeps its
// own rule that the command line wins over the file.
class ConfigAdapter : public CLI::ConfigBase {
public:
    std::vector<CLI::ConfigItem> from_config(std::istream& input) const override {
        const std::string text{std::istreambuf_iterator<char>(input),
                               std::istreambuf_iterator<char>()};
        std::vector<CLI::ConfigItem> items;
        for (auto& [key, value] : ReadConfigText(text)) {
            CLI::ConfigItem item;
            item.name = key;
            item.inputs = {value};
            items.push_back(std::move(item));
        }
        return items;
    }
};

// The embedded default: enough blocks per point that the BER near 1e-6
// rests on a handful of block errors, about a minute on 2 cores.
void ChooseEmbeddedDefaultRun(SimOptions& o) {
    o.out = "results";
    o.maxBlocks = 50000;
}

// A plain row: CLI11 reads the value straight into the record's field (and
// shows the field's value as the default).
CLI::Option* BindField(CLI::App& app, const OptionRow& row, SimOptions& o) {
    return std::visit(
        [&](auto member) -> CLI::Option* {
            using T = decltype(member);
            if constexpr (std::is_same_v<T, bool SimOptions::*>) {
                return app.add_flag(row.name, o.*member, row.help);
            } else if constexpr (std::is_same_v<T, std::monostate> ||
                                 std::is_same_v<T, int32_t(SimOptions::*)[3]>) {
                throw std::logic_error(std::string(row.name) + " needs a text handler");
            } else {
                return app.add_option(row.name, o.*member, row.help);
            }
        },
        row.field);
}

// Every row of the table as a CLI11 option; rows with a text handler are
// read into `texts` (one per row) and applied after parsing.
void DeclareOptions(CLI::App& app, SimOptions& o, std::vector<std::string>& texts) {
    const std::vector<OptionRow>& table = OptionTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const OptionRow& row = table[i];
        if (*row.group == '\0') {
            app.set_config(row.name, "", row.help);
            continue;
        }
        CLI::Option* option = row.fromText != nullptr ? app.add_option(row.name, texts[i], row.help)
                                                      : BindField(app, row, o);
        if (row.fromText != nullptr || row.shownDefault != nullptr) option->default_str(ShownDefault(row));
        option->group(row.group);
    }
    for (const OptionRow& row : table) {
        if (row.excludes != nullptr) app.get_option(row.name)->excludes(app.get_option(row.excludes));
    }
}

void ApplySpecialOptions(const CLI::App& app, const std::vector<std::string>& texts, SimOptions& o) {
    const GivenFn given = [&app](const char* name) { return app.count(name) > 0; };
    const std::vector<OptionRow>& table = OptionTable();
    for (size_t i = 0; i < table.size(); ++i) {
        const OptionRow& row = table[i];
        if (row.fromText != nullptr && !texts[i].empty()) row.fromText(texts[i], o, given);
        if (row.whenGiven != nullptr && given(row.name)) row.whenGiven(o);
    }
    if (const auto* config = app.get_config_ptr(); config != nullptr && config->count() > 0) {
        o.configFile = config->as<std::string>();
    }
}

ParseOutcome Stop(ParseOutcome outcome, int exitCode, const std::string& message) {
    outcome.exitCode = exitCode;
    outcome.message = message;
    return outcome;
}

}  // namespace

ParseOutcome ParseOptions(const std::vector<std::string>& args) {
    ParseOutcome outcome;
    outcome.options.commandLine = JoinCommandLine(args);
    if (args.size() <= 1) {
        ChooseEmbeddedDefaultRun(outcome.options);
        return outcome;
    }
    CLI::App app{"tpcsim: error rates of a turbo product code link, run through the library's nodes.\n"
                 "Without arguments: the default code over BPSK, written to results/."};
    app.config_formatter(std::make_shared<ConfigAdapter>());
    app.allow_config_extras(false);
    app.option_defaults()->always_capture_default();
    const std::string version = std::string("tpcsim ") + TPCSIM_VERSION;
    app.set_version_flag("--version", version);
    std::vector<std::string> texts(OptionTable().size());
    DeclareOptions(app, outcome.options, texts);
    try {
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        app.parse(static_cast<int>(argv.size()), argv.data());
        ApplySpecialOptions(app, texts, outcome.options);
    } catch (const CLI::CallForHelp&) {
        return Stop(outcome, 0, app.help());
    } catch (const CLI::CallForVersion&) {
        return Stop(outcome, 0, version + "\n");
    } catch (const CLI::ParseError& e) {
        return Stop(outcome, 2, std::string("tpcsim: ") + e.what() + "\nRun with --help for the options.\n");
    } catch (const std::exception& e) {
        return Stop(outcome, 2, std::string("tpcsim: ") + e.what() + "\n");
    }
    return outcome;
}

}  // namespace tpcsim
