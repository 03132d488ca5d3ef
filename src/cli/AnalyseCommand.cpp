#include "AnalyseCommand.h"

#include "EditOptions.h"
#include "EditReports.h"
#include "OpenedFile.h"
#include "TextFormatter.h"
#include "core/Errors.h"

namespace zefrin {

const CommandDefinition& AnalyseCommandDefinition()
{
    static const CommandDefinition definition = [] {
        CommandDefinition made{
            "analyse",
            "Shows what the volume group's Auto button shows for FILE: the volume analysis of "
            "the frames the trimming points keep, with the normalisation settings "
            "(ComboBoxNormlizeAt, ComboBoxNormalizeClippingThreshold, "
            "CheckBoxNormalizationIncOnly). The peak is that of the decode made 12 dB below "
            "the stored level.",
            "FILE",
            1,
            1,
            TrimOptionDefinitions(),
        };
        made.Options.push_back({"--json", nullptr, "write one JSON object instead of text"});
        return made;
    }();
    return definition;
}

int RunAnalyseCommand(const CliOptions& options, std::ostream& out, std::ostream& err,
                      bool progress)
{
    const TrimRequest trim = ParseTrimOptions(options);
    const bool json = options.Has("--json");
    OpenedFile file(options.Operands.at(0), ResolveSettings(options.Settings), err, progress);
    if (!json) {
        for (const std::string& warning : file.Result.Warnings)
            WriteWarning(err, warning);
    }
    const TrimPointsChosen points = ResolveTrimPoints(trim, *file.Model, file.Settings);

    AnalyseReport report;
    report.FirstFrame = points.Begin;
    report.EndFrame = file.Model->Info.FrameCount - points.End;
    report.Normalisation = file.AutoVolume(points.Begin, points.End);
    report.Warnings = file.Result.Warnings;

    if (json)
        WriteAnalyseJson(out, report);
    else
        WriteAnalyseText(out, report);
    out.flush();
    if (!out)
        throw Error("Failed to write the output");
    return 0;
}

} // namespace zefrin
