#include "SaveCommand.h"

#include "EditOptions.h"
#include "EditReports.h"
#include "OpenedFile.h"
#include "TextFormatter.h"
#include "core/Errors.h"
#include "edit/FileWriter.h"
#include "edit/SaveCommands.h"
#include "edit/TrimFigures.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zefrin {

namespace {

namespace fs = std::filesystem;

// What the command line asks for, checked before the file is opened.
struct SaveRequest
{
    bool InPlace = false;
    std::string Out;
    TrimRequest Trim;
    std::optional<int32_t> Gain;
    bool Normalize = false;
    int32_t FadeIn = 0;
    int32_t FadeOut = 0;
    std::optional<bool> Wav; // the Save As dialog's file type, when chosen
    bool Json = false;
};

SaveRequest ParseSaveRequest(const CliOptions& options)
{
    SaveRequest request;
    request.InPlace = options.Has("--in-place");
    const std::optional<std::string> out = options.Value("-o");
    if (request.InPlace == out.has_value())
        throw UsageError("save needs either -o OUT (Save As) or --in-place (Save)");
    if (out) {
        if (out->empty())
            throw UsageError("-o needs a file or folder name");
        request.Out = *out;
    }

    const bool wav = options.Has("--wav");
    const bool mp3 = options.Has("--mp3");
    if (wav && mp3)
        throw UsageError("--wav and --mp3 choose the same file type; give one of them");
    if ((wav || mp3) && request.InPlace)
        throw UsageError(std::string(wav ? "--wav" : "--mp3") +
                         " is a choice of Save As; Save follows CheckBoxSaveWAV");
    if (wav || mp3)
        request.Wav = wav;

    request.Trim = ParseTrimOptions(options);
    request.Gain = SignedNumberOption(options, "--gain", -AmplificationLimit, AmplificationLimit);
    request.Normalize = options.Has("--normalize");
    if (request.Gain && request.Normalize)
        throw UsageError("--gain and --normalize both set the amplification; give one of them");
    request.FadeIn = int32_t(NumberOption(options, "--fade-in", 0, FadePositionLimit).value_or(0));
    request.FadeOut =
        int32_t(NumberOption(options, "--fade-out", 0, FadePositionLimit).value_or(0));
    request.Json = options.Has("--json");
    return request;
}

// The informative lines of a question box, without the question: the lines before the
// first empty one, %s replaced by the file's name.
std::string QuestionAsWarning(const std::vector<std::string>& lines, const std::string& name)
{
    std::string text;
    for (const std::string& line : lines) {
        if (line.empty())
            break;
        std::string filled = line;
        if (const size_t at = filled.find("%s"); at != std::string::npos)
            filled.replace(at, 2, name);
        text += filled + "\n";
    }
    return text;
}

std::string SaveAsDestination(const SaveRequest& request, const OpenedFile& file,
                              const EditState& state)
{
    std::error_code error;
    if (!fs::is_directory(request.Out, error))
        return request.Out;
    const std::string name =
        ProposedSaveAsName(file.Result.EditName, *file.Model, file.Settings, state);
    return (fs::path(request.Out) / name).string();
}

int64_t SizeOnDisk(const std::string& name)
{
    std::error_code error;
    const auto size = fs::file_size(name, error);
    if (error)
        throw Error("The saved file \"" + name + "\" cannot be read back - " + error.message());
    return int64_t(size);
}

} // namespace

const CommandDefinition& SaveCommandDefinition()
{
    static const CommandDefinition definition = [] {
        CommandDefinition made{
            "save",
            "Writes FILE edited, as the window's Save As (-o) or Save (--in-place) do: the "
            "trimming points, amplification and fades given here, the rest from the save "
            "settings (CheckBoxCleanup, CheckBoxKeepID3v2, RadioButtonID3Remove, the "
            "add-silence lists, ...). The settings are taken as given: the window's steps at "
            "opening (CheckBoxAutoDetectSilence, CheckBoxAutoNormalizeVolume, "
            "CheckBoxResetAddSilenceWhenOpen) are not, use --auto-trim and --normalize. The "
            "questions the window asks before saving (CheckBoxOverwriteAsk, the .wav without "
            "header) count as answered Yes, the command line being the confirmation; the "
            ".wav one is printed as a warning. Prints the file written, the size predicted "
            "and the size on disk.",
            "FILE",
            1,
            1,
            {
                {"-o", "OUT",
                 "Save As: write to OUT, replacing a file of that name; when OUT is a folder, "
                 "into it under the name Save As proposes (with the length when "
                 "CheckBoxSaveAs_WithTime is on). OUT may not be FILE itself, however spelt"},
                {"--in-place", nullptr,
                 "Save: rewrite FILE (renamed with its length when CheckBoxSave_WithTime is "
                 "on)"},
            },
        };
        for (const OptionDefinition& option : TrimOptionDefinitions())
            made.Options.push_back(option);
        const OptionDefinition volume[] = {
            {"--gain", "STEPS",
             "amplification in 1.5 dB steps, -8 to 8 (default TrackBarDefaultAmplification); "
             "MPEG Layer III only"},
            {"--normalize", nullptr,
             "the amplification the volume analysis of the kept frames proposes, as the "
             "volume group's Auto button finds it"},
            {"--fade-in", "POS",
             "fade-in position 0 to 32 (0 none, 32 is 20 s); MPEG Layer III only"},
            {"--fade-out", "POS", "fade-out position 0 to 32"},
            {"--wav", nullptr,
             "the Save As file type: MP3 in a WAV header (also names the proposed file .wav); "
             "without --wav or --mp3 the type follows CheckBoxSaveWAV. Not with --in-place"},
            {"--mp3", nullptr, "the Save As file type: plain MP3"},
            {"--json", nullptr, "write one JSON object instead of text"},
        };
        for (const OptionDefinition& option : volume)
            made.Options.push_back(option);
        return made;
    }();
    return definition;
}

int RunSaveCommand(const CliOptions& options, std::ostream& out, std::ostream& err, bool progress)
{
    const SaveRequest request = ParseSaveRequest(options);
    OpenedFile file(options.Operands.at(0), ResolveSettings(options.Settings), err, progress);
    const StreamModel& model = *file.Model;
    const SettingsRecord& settings = file.Settings;

    SaveReport report;
    report.InPlace = request.InPlace;
    report.Warnings = file.Result.Warnings;
    const auto warn = [&](const std::string& text) {
        if (!request.Json)
            WriteWarning(err, text);
    };
    for (const std::string& warning : file.Result.Warnings)
        warn(warning);

    // --normalize needs no check here: the analysis refuses other layers with its own text.
    CheckVolumeOptionsFit(request.Gain.value_or(0), request.FadeIn, request.FadeOut, model);
    const TrimPointsChosen points = ResolveTrimPoints(request.Trim, model, settings);

    EditControls controls;
    controls.Begin = points.Begin;
    controls.End = points.End;
    controls.FadeIn = request.FadeIn;
    controls.FadeOut = request.FadeOut;
    if (request.Normalize)
        controls.Amplification = file.AutoVolume(points.Begin, points.End).AmplificationPosition;
    else
        controls.Amplification = request.Gain.value_or(std::clamp(
            settings.TrackBarDefaultAmplification, -AmplificationLimit, AmplificationLimit));

    EditState state;
    state.FileOpen = true;
    // A type chosen in the Save As dialog other than the preset one overrides the setting.
    if (request.Wav && *request.Wav != SaveAsWav(model, settings, state)) {
        state.WavChoiceOverride = true;
        state.WavChoice = *request.Wav;
    }
    UpdateDiskSpaceSavingDisplay(state, model, settings, points.Begin, points.End);

    std::string destName;
    if (request.InPlace) {
        if (SaveWavWithoutHeaderQuestion(file.FileName, model, settings, state)) {
            const std::string text = QuestionAsWarning(
                file.Texts.MessageDlgSaveWAVWithoutHeaderWarning, file.Result.EditName);
            report.Warnings.push_back(text);
            warn(text);
        }
    } else {
        destName = SaveAsDestination(request, file, state);
        CheckSaveAsTarget(file.FileName, destName);
    }

    // The figures the save works from; an in-place save may recompute them for the new file.
    report.Wav = SaveAsWav(model, settings, state);
    report.OutputFrameCount = state.OutputFrameCount;
    report.PredictedSize = state.PredictedSize;

    WriteParameters parameters;
    if (!SaveWriterParameters(parameters, model, settings, state, file.FileName, destName,
                              file.Result.EditName, controls))
        throw Error("The trimming points are not valid");
    const WriteResult written = WriteEditedFile(*file.Model, file.Context, state, parameters);
    file.Pump.Finish();

    report.WrittenName = written.WrittenName.empty() ? (request.InPlace ? file.FileName : destName)
                                                     : written.WrittenName;
    report.NothingToChange = written.NothingToChange;
    report.Begin = points.Begin;
    report.End = points.End;
    report.Amplification = controls.Amplification;
    report.ActualSize = SizeOnDisk(report.WrittenName);

    if (request.Json)
        WriteSaveJson(out, report);
    else
        WriteSaveText(out, report);
    // A full disk or a closed pipe must not pass for a complete report.
    out.flush();
    if (!out)
        throw Error("Failed to write the output");
    return 0;
}

} // namespace zefrin
