#include "Cli.h"

#include "AnalyseCommand.h"
#include "CliEventPump.h"
#include "CliOptions.h"
#include "CueCommand.h"
#include "InfoCommand.h"
#include "SaveCommand.h"
#include "SplitCommand.h"
#include "core/Errors.h"

#include <algorithm>
#include <functional>
#include <iostream>
#include <new>

namespace zefrin {

namespace {

constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

using CommandRunner =
    std::function<int(const CliOptions&, std::ostream&, std::ostream&, bool progress)>;

struct Command
{
    const CommandDefinition& Definition;
    CommandRunner Run;
};

const std::vector<Command>& Commands()
{
    // clang-format off
    static const std::vector<Command> commands = {
        {InfoCommandDefinition(), RunInfoCommand},
        {SaveCommandDefinition(), RunSaveCommand},
        {AnalyseCommandDefinition(), RunAnalyseCommand},
        {CueCommandDefinition(), RunCueCommand},
        {SplitCommandDefinition(), RunSplitCommand},
    };
    // clang-format on
    return commands;
}

std::vector<CommandDefinition> Definitions()
{
    std::vector<CommandDefinition> definitions;
    for (const Command& command : Commands())
        definitions.push_back(command.Definition);
    return definitions;
}

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    const std::string programName = "zefrin-cli";
    const std::vector<CommandDefinition> definitions = Definitions();
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);

    CliOptions options;
    try {
        options = ParseCommandLine(args, definitions);
    } catch (const UsageError& e) {
        err << programName << ": " << e.what() << "\n\n" << UsageText(programName, definitions);
        return ExitUsage;
    }
    if (options.Help) {
        out << UsageText(programName, definitions);
        return 0;
    }

    // Progress only on a real terminal: the streams of a test, a file or a pipe stay clean.
    const bool progress = &err == &std::cerr && StandardErrorIsTerminal();
    try {
        for (const Command& command : Commands()) {
            if (options.Command == command.Definition.Name)
                return command.Run(options, out, err, progress);
        }
        err << programName << ": no runner for " << options.Command << '\n';
        return ExitFailed;
    } catch (const UsageError& e) {
        err << programName << ": " << e.what() << "\n\n" << UsageText(programName, definitions);
        return ExitUsage;
    } catch (const Error& e) {
        // The text the window would show in its box, with the box's period rule.
        err << WithClosingPeriod(e.what()) << '\n';
        return ExitFailed;
    } catch (const std::bad_alloc&) {
        err << "Out of memory.\n";
        return ExitFailed;
    } catch (const std::exception& e) {
        err << WithClosingPeriod(e.what()) << '\n';
        return ExitFailed;
    }
}

} // namespace zefrin
