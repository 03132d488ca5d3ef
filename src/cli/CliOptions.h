// The command line of zefrin-cli: a command name, the command's own options, the options
// that choose where the settings come from (shared by every command), and the operands.
// Each command describes its options in a CommandDefinition; the parser knows no command itself.
#pragma once

#include "settings/SettingsRecord.h"

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zefrin {

// A command line that cannot be run as written: exit code 2 and the usage text.
class UsageError : public std::runtime_error
{
  public:
    explicit UsageError(const std::string& text)
        : std::runtime_error(text)
    {
    }
};

struct OptionDefinition
{
    const char* Name;      // with its dashes: "--json"
    const char* ValueName; // nullptr for a flag; else shown in the usage text: "N"
    const char* Help;
};

struct CommandDefinition
{
    const char* Name;
    const char* Summary;
    const char* Operands; // as the usage text shows them: "FILE"
    size_t MinOperands;
    size_t MaxOperands;
    std::vector<OptionDefinition> Options;
};

// Where the settings come from, applied in this order over the defaults: the per-user store,
// then the imported file, then each assignment in the order given.
struct SettingsSources
{
    bool UserSettings = false;
    std::optional<std::string> File;
    std::vector<std::pair<std::string, std::string>> Assignments; // NAME, VALUE
};

struct CliOptions
{
    bool Help = false;
    std::string Command;                                     // empty only with Help
    std::vector<std::pair<std::string, std::string>> Values; // option name, value ("" = flag)
    std::vector<std::string> Operands;
    SettingsSources Settings;

    bool Has(const std::string& option) const;
    // The value given last for an option, as written.
    std::optional<std::string> Value(const std::string& option) const;
};

// The options every command takes (the settings sources and --help).
std::span<const OptionDefinition> CommonOptions();

// Parses the arguments after the program name. Options take their value as the next argument
// or after "=" ("--max-frames=100"); "--" ends the options. Raises UsageError.
CliOptions ParseCommandLine(const std::vector<std::string>& args,
                            std::span<const CommandDefinition> commands);

// The value of an option as a whole decimal number within [minimum, maximum]; nothing when
// the option was not given. Raises UsageError otherwise.
std::optional<uint64_t> NumberOption(const CliOptions& options, const std::string& option,
                                     uint64_t minimum, uint64_t maximum);

// The settings as the sources make them. Raises UsageError for an assignment the settings
// table refuses (unknown name, value out of range) and Error when a source cannot be read.
SettingsRecord ResolveSettings(const SettingsSources& sources);

// The usage text of the program: every command with its options.
std::string UsageText(const std::string& programName, std::span<const CommandDefinition> commands);

} // namespace zefrin
