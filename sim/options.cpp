#include "sim/options.h"

#include <algorithm>
#include <iterator>
#include <memory>
#include <stdexcept>

#include <CLI/CLI.hpp>

#include "sim/config_file.h"
#include "sim/option_checks.h"
#include "sim/option_table.h"
#include "sim/shell_words.h"
#include "sim/text_file.h"

namespace tpcsim {

namespace {

bool KnownKey(const std::string& key) {
    for (const OptionRow& row : OptionTable()) {
        if (*row.group != '\0' && key == row.name + 2) return true;
    }
    return false;
}

// An option given as '' (CLI11 takes it, and would keep the default).
bool GivenEmpty(const OptionRow& row, const std::string& text, const SimOptions& o) {
    if (*row.group == '\0') return false;  // --config: CLI11 reads the file itself
    if (row.fromText != nullptr) return text.empty();
    const auto* field = std::get_if<std::string SimOptions::*>(&row.field);
    return field != nullptr && (o.**field).empty();
}

// A negative number for an unsigned option: CLI11 would wrap it around.
std::string RefuseNegative(std::string& text) {
    return text.find('-') != std::string::npos ? "must be a whole number from 0 up" : "";
}

// "--nx is given more than once", where CLI11 would say "At Most 1
// required but received 2".
std::string RepeatedOption(const std::vector<std::string>& args) {
    std::vector<std::string> seen;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string name = args[i].substr(0, args[i].find('='));
        if (name.rfind("--", 0) != 0 || name == "--") continue;
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) return name;
        seen.push_back(name);
    }
    return "";
}

// Lets CLI11 read our config files (JSON or key = value) while it keeps its
// own rule that the command line wins over the file.
class ConfigAdapter : public CLI::ConfigBase {
public:
    std::vector<CLI::ConfigItem> from_config(std::istream& input) const override {
        const std::string text = ReadText(input, "the config file", kMaxRunFileBytes);
        std::vector<CLI::ConfigItem> items;
        for (auto& [key, value] : ReadConfigText(text)) {
            if (!KnownKey(key)) {
                throw std::runtime_error("unknown key \"" + key +
                                         "\" in the config file: keys are the option names without "
                                         "the dashes (see --help)");
            }
            CLI::ConfigItem item;
            item.name = key;
            item.inputs = {value};
            items.push_back(std::move(item));
        }
        return items;
    }
};

// The embedded default: enough blocks per point that the BER near 1e-6
// rests on a handful of block errors, about a minute on 2 cores. --help and
// docs/tpcsim.md say so.
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
                return app.add_flag(row.name, o.*member, HelpText(row));
            } else if constexpr (std::is_same_v<T, std::monostate> ||
                                 std::is_same_v<T, int32_t(SimOptions::*)[3]> ||
                                 std::is_same_v<T, std::vector<int32_t> SimOptions::*>) {
                throw std::logic_error(std::string(row.name) + " needs a text handler");
            } else {
                return app.add_option(row.name, o.*member, HelpText(row));
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
            app.set_config(row.name, "", HelpText(row));
            continue;
        }
        CLI::Option* option = row.fromText != nullptr ? app.add_option(row.name, texts[i], HelpText(row))
                                                      : BindField(app, row, o);
        if (row.fromText != nullptr || row.shownDefault != nullptr) option->default_str(ShownDefault(row));
        if (std::holds_alternative<uint64_t SimOptions::*>(row.field)) {
            option->check(CLI::Validator(RefuseNegative, "", "not negative"));
        }
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
        if (given(row.name) && GivenEmpty(row, texts[i], o)) {
            throw std::invalid_argument(std::string(row.name) + " needs a value");
        }
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
    if (const std::string repeated = RepeatedOption(args); !repeated.empty()) {
        return Stop(outcome, 2, "tpcsim: " + repeated + " is given more than once\n");
    }
    CLI::App app{"tpcsim: error rates of a turbo product code link of the library's nodes.\n"
                 "Without arguments: the default code over BPSK, up to 50000 blocks per point, written "
                 "to results/.\nAlso: tpcsim plot DIR[=LABEL]... -o FILE (runs on one plot; tpcsim plot --help), "
                 "tpcsim merge DIR... -o OUT (runs of one configuration joined), "
                 "tpcsim replay DIR --point EBN0 --failure N (a block kept by --keep-failures, regenerated)."};
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
