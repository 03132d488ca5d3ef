#include "Cli.h"

#include "AnalyseCommand.h"
#include "CliEventPump.h"
#include "CliOptions.h"
#include "InfoCommand.h"
#include "SaveCommand.h"
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
    const CommandSpec& Spec;
    CommandRunner Run;
};

const std::vector<Command>& Commands()
{
    static const std::vector<Command> commands = {
        {InfoCommandSpec(), RunInfoCommand},
        {SaveCommandSpec(), RunSaveCommand},
        {AnalyseCommandSpec(), RunAnalyseCommand},
    };
    return commands;
}

std::vector<CommandSpec> Specs()
{
    std::vector<CommandSpec> specs;
    for (const Command& command : Commands())
        specs.push_back(command.Spec);
    return specs;
}

} // namespace

int RunCli(int argc, char** argv, std::ostream& out, std::ostream& err)
{
    const std::string programName = "zefrin-cli";
    const std::vector<CommandSpec> specs = Specs();
    const std::vector<std::string> args(argv + std::min(argc, 1), argv + argc);

    CliOptions options;
    try {
        options = ParseCommandLine(args, specs);
    } catch (const UsageError& e) {
        err << programName << ": " << e.what() << "\n\n" << UsageText(programName, specs);
        return ExitUsage;
    }
    if (options.Help) {
        out << UsageText(programName, specs);
        return 0;
    }

    // Progress only on a real terminal: the streams of a test, a file or a pipe stay clean.
    const bool progress = &err == &std::cerr && StandardErrorIsTerminal();
    try {
        for (const Command& command : Commands()) {
            if (options.Command == command.Spec.Name)
                return command.Run(options, out, err, progress);
        }
        err << programName << ": no runner for " << options.Command << '\n';
        return ExitFailed;
    } catch (const UsageError& e) {
        err << programName << ": " << e.what() << "\n\n" << UsageText(programName, specs);
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
