#include "CliOptions.h"

#include "platform/ProgramPaths.h"
#include "platform/UserSettingsStore.h"
#include "settings/SettingsTable.h"

#include <algorithm>
#include <charconv>

namespace zefrin {

namespace {

const OptionDefinition CommonOptionTable[] = {
    {"--settings", "FILE", "import the settings from an ini file like Zefrin.ini"},
    {"--set", "NAME=VALUE",
     "set one setting by its control name (integers, or text for the text settings); "
     "may be repeated"},
    {"--user-settings", nullptr, "start from the per-user settings instead of the defaults"},
    {"--help", nullptr, "show this text"},
};

const OptionDefinition* FindOption(std::span<const OptionDefinition> options,
                                   const std::string& name)
{
    for (const OptionDefinition& option : options) {
        if (name == option.Name)
            return &option;
    }
    return nullptr;
}

void TakeSettingsOption(SettingsSources& sources, const std::string& name, const std::string& value)
{
    if (name == "--user-settings") {
        sources.UserSettings = true;
    } else if (name == "--settings") {
        sources.File = value;
    } else if (name == "--set") {
        const size_t equals = value.find('=');
        if (equals == std::string::npos || equals == 0)
            throw UsageError("--set takes NAME=VALUE, not \"" + value + "\"");
        sources.Assignments.emplace_back(value.substr(0, equals), value.substr(equals + 1));
    }
}

} // namespace

bool CliOptions::Has(const std::string& option) const
{
    return std::any_of(Values.begin(), Values.end(),
                       [&](const auto& given) { return given.first == option; });
}

std::optional<std::string> CliOptions::Value(const std::string& option) const
{
    for (auto it = Values.rbegin(); it != Values.rend(); ++it) {
        if (it->first == option)
            return it->second;
    }
    return std::nullopt;
}

std::span<const OptionDefinition> CommonOptions()
{
    return CommonOptionTable;
}

CliOptions ParseCommandLine(const std::vector<std::string>& args,
                            std::span<const CommandDefinition> commands)
{
    CliOptions result;
    if (args.empty())
        throw UsageError("no command given");
    const std::string& first = args[0];
    if (first == "--help" || first == "-h") {
        result.Help = true;
        return result;
    }
    const CommandDefinition* command = nullptr;
    for (const CommandDefinition& candidate : commands) {
        if (first == candidate.Name)
            command = &candidate;
    }
    if (!command) {
        if (!first.empty() && first[0] == '-')
            throw UsageError("the command comes first, before \"" + first + "\"");
        throw UsageError("unknown command \"" + first + "\"");
    }
    result.Command = command->Name;

    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // A lone "-" is an operand (by convention standard input or output).
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            result.Operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            result.Help = true;
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionDefinition* definition = FindOption(command->Options, name);
        if (!definition)
            definition = FindOption(CommonOptions(), name);
        if (!definition)
            throw UsageError("unknown option \"" + name + "\" for " + result.Command);
        std::string value;
        if (definition->ValueName) {
            if (equals != std::string::npos)
                value = arg.substr(equals + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                throw UsageError(name + " needs a value (" + definition->ValueName + ")");
        } else if (equals != std::string::npos) {
            throw UsageError(name + " takes no value");
        }
        TakeSettingsOption(result.Settings, name, value);
        result.Values.emplace_back(name, value);
    }
    if (result.Help)
        return result;

    if (result.Operands.size() < command->MinOperands)
        throw UsageError(result.Command + " needs " + command->Operands);
    if (result.Operands.size() > command->MaxOperands)
        throw UsageError("too many operands for " + result.Command + ": \"" +
                         result.Operands[command->MaxOperands] + "\"");
    return result;
}

std::optional<uint64_t> NumberOption(const CliOptions& options, const std::string& option,
                                     uint64_t minimum, uint64_t maximum)
{
    const std::optional<std::string> text = options.Value(option);
    if (!text)
        return std::nullopt;
    uint64_t number = 0;
    const char* end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, number);
    if (text->empty() || error != std::errc() || stop != end || number < minimum ||
        number > maximum)
        throw UsageError(option + " takes a whole number from " + std::to_string(minimum) + " to " +
                         std::to_string(maximum) + ", not \"" + *text + "\"");
    return number;
}

SettingsRecord ResolveSettings(const SettingsSources& sources)
{
    SettingsRecord record;
    LoadDefaultSettings(record);
    // Assignments are checked on a scratch record first: a mistyped name is a usage error
    // and should be reported before any store or file is read.
    {
        SettingsRecord scratch = record;
        for (const auto& [name, value] : sources.Assignments) {
            std::string error;
            if (!SetSettingByName(scratch, name, value, &error))
                throw UsageError(error);
        }
    }
    if (sources.UserSettings) {
        const UserSettingsStore store;
        ReadSettings(record, store);
        ApplyStartupSettingRules(record);
    }
    if (sources.File)
        ImportSettings(record, *sources.File);
    for (const auto& [name, value] : sources.Assignments)
        SetSettingByName(record, name, value, nullptr);
    return record;
}

namespace {

constexpr size_t UsageWidth = 80;
constexpr size_t HelpColumn = 24;

// Words of `text` on lines of at most UsageWidth columns, continuation lines indented.
std::string Wrapped(std::string line, const std::string& text, size_t indent)
{
    std::string result;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(' ', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(start, end - start);
        const bool lineHasWord = line.size() > indent;
        if (lineHasWord && line.size() + 1 + word.size() > UsageWidth) {
            result += line + "\n";
            line = std::string(indent, ' ');
        }
        if (line.size() > indent && line.back() != ' ')
            line += ' ';
        line += word;
        start = end + 1;
    }
    return result + line + "\n";
}

std::string OptionLines(std::span<const OptionDefinition> options)
{
    std::string text;
    for (const OptionDefinition& option : options) {
        std::string left = std::string("  ") + option.Name;
        if (option.ValueName)
            left += std::string(" ") + option.ValueName;
        if (left.size() + 2 > HelpColumn) {
            text += left + "\n";
            left.clear();
        }
        left.resize(HelpColumn, ' ');
        text += Wrapped(left, option.Help, HelpColumn);
    }
    return text;
}

} // namespace

std::string UsageText(const std::string& programName, std::span<const CommandDefinition> commands)
{
    const auto optionLines = OptionLines;

    std::string text = "Usage: " + programName + " COMMAND [OPTIONS] OPERANDS\n";
    text += "       " + programName + " --help\n";
    for (const CommandDefinition& command : commands) {
        text += "\n" + programName + " " + command.Name + " [OPTIONS] " + command.Operands + "\n";
        text += Wrapped("  ", command.Summary, 2);
        text += optionLines(command.Options);
    }
    text += "\nOptions of every command:\n";
    text += optionLines(CommonOptions());
    text += "\nExit codes: 0 done, 1 the command failed, 2 usage error.\n";
    return text;
}

} // namespace zefrin
