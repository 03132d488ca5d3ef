#include "SplitCommand.h"

#include "CueReports.h"
#include "EditOptions.h"
#include "OpenedFile.h"
#include "TextFormatter.h"
#include "core/Errors.h"
#include "cue/CueSplitter.h"
#include "edit/EditState.h"

#include <algorithm>
#include <optional>
#include <string>

namespace zefrin {

const CommandDefinition& SplitCommandDefinition()
{
    static const CommandDefinition definition{
        "split",
        "Cuts FILE into one file per track of its cue sheet, as the window's Ctrl+U does. The "
        "cue sheet is the file beside FILE with the extension .cue, else the one embedded in "
        "its ID3v2 tag. The tracks go into a folder beside FILE named after the album "
        "(PERFORMER - TITLE of the cue sheet), else after the tag's artist and title, else "
        "after FILE itself; each is named after its number, performer and title. Every track "
        "is written by the writer of Save As with the settings CheckBoxCleanup, "
        "CheckBoxSaveWAV (.wav tracks), the add-silence lists and RadioGroupCueSplit (the "
        "30 seconds in the middle of each track); tags are not copied. Prints each file "
        "written.",
        "FILE",
        1,
        1,
        {
            {"--gain", "STEPS",
             "amplification of every track in 1.5 dB steps, -8 to 8 (default "
             "TrackBarDefaultAmplification); MPEG Layer III only"},
            {"--fade-in", "POS",
             "fade-in position 0 to 32 at the start of every track; MPEG Layer III only"},
            {"--fade-out", "POS", "fade-out position 0 to 32 at the end of every track"},
        },
    };
    return definition;
}

int RunSplitCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress)
{
    const std::optional<int32_t> gain =
        SignedNumberOption(options, "--gain", -AmplificationLimit, AmplificationLimit);
    SplitControls controls;
    controls.FadeIn = int32_t(NumberOption(options, "--fade-in", 0, FadePositionLimit).value_or(0));
    controls.FadeOut =
        int32_t(NumberOption(options, "--fade-out", 0, FadePositionLimit).value_or(0));

    OpenedFile file(options.Operands.at(0), ResolveSettings(options.Settings), err, progress);
    for (const std::string& warning : file.Result.Warnings)
        WriteWarning(err, warning);
    CheckVolumeOptionsFit(gain.value_or(0), controls.FadeIn, controls.FadeOut, *file.Model);
    controls.Amplification = gain.value_or(std::clamp(file.Settings.TrackBarDefaultAmplification,
                                                      -AmplificationLimit, AmplificationLimit));

    // The split brings the figures (added silence, sizes) up to date for every track.
    EditState state;

    const SplitResult result =
        SplitByCueSheet(*file.Model, file.Context, state, file.FileName, controls);
    file.Pump.Finish();
    if (!result.Found) {
        err << "no cue sheet found\n";
        return 1;
    }

    WriteSplitText(out, result);
    out.flush();
    if (!out)
        throw Error("Failed to write the output");
    return 0;
}

} // namespace zefrin
