#include "CueCommand.h"

#include "CueReports.h"
#include "OpenedFile.h"
#include "TextFormatter.h"
#include "core/Errors.h"
#include "cue/CueSheetGenerator.h"

#include <filesystem>
#include <string>

namespace zefrin {

namespace {

// The FILE line names the audio file by its full path, as the open dialog gives it; a cue
// sheet naming "album.mp3" would only be understood from the folder it was made in.
std::string FullPath(const std::string& fileName)
{
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(fileName, error);
    return error || fileName.empty() ? fileName : full.string();
}

} // namespace

const CommandDefinition& CueCommandDefinition()
{
    static const CommandDefinition definition{
        "cue",
        "Writes the cue sheet of FILE beside it (same name, extension .cue), as the window's "
        "Ctrl+G does: the volume analysis of the whole file, then a track start in the middle "
        "of each of the longest quiet stretches, every two starts at least "
        "SpinEditMinimumCueTrackLength seconds apart. Prints the cue sheet's name and the "
        "track starts.",
        "FILE",
        1,
        1,
        {},
    };
    return definition;
}

int RunCueCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress)
{
    OpenedFile file(FullPath(options.Operands.at(0)), ResolveSettings(options.Settings), err,
                    progress);
    for (const std::string& warning : file.Result.Warnings)
        WriteWarning(err, warning);

    // A freshly opened file has no normalisation shown, so the analysis always runs; no
    // trimming points are set, so it covers every frame.
    const CueGeneration made =
        GenerateCueSheet(*file.Model, file.Context, file.Decoder, file.FileName, 0, 0, false);
    file.Pump.Finish();

    WriteCueText(out, file.Model->Info.Reference, made);
    out.flush();
    if (!out)
        throw Error("Failed to write the output");
    return 0;
}

} // namespace zefrin
