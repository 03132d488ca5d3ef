#include "CueSplitter.h"

#include "CueFiles.h"
#include "CueSheetGenerator.h"
#include "core/Errors.h"
#include "core/SourceFile.h"
#include "edit/FileWriter.h"
#include "edit/TrimFigures.h"

#include <filesystem>
#include <unistd.h>

namespace zefrin {

namespace {

namespace fs = std::filesystem;

constexpr uint32_t LimitedTrackSeconds = 30;

// Writes the cue sheet that the ID3v2 tag carries to cueName. True when the file was made
// here (and so must go again); false when the tag has none or a file of that name appeared
// meanwhile.
bool ExtractEmbeddedCueSheet(const StreamModel& model, const EngineContext& context,
                             const std::string& fileName, const std::string& cueName)
{
    const TID3v2& tag = model.Id3v2;
    if (tag.TotalSize <= 0 || tag.GeobLength <= 0)
        return false;
    SourceFile source;
    try {
        source = OpenAndMapFile(fileName, false, false, context.Texts);
    } catch (const Error&) {
        throw Error("Could not open " + fileName);
    }
    // The file may have changed since the tag was read; the object must lie inside it.
    const int64_t offset = int64_t(model.Info.RiffHeaderSize) + tag.GeobOffset;
    if (source.View == nullptr || offset < 0 || offset + tag.GeobLength > int64_t(source.Size))
        throw Error("Could not open " + fileName);
    return WriteNewFile(cueName, source.View + offset, size_t(tag.GeobLength));
}

std::string Joined(const std::string& performer, const std::string& title)
{
    if (performer.empty())
        return title;
    if (title.empty())
        return performer;
    return performer + " - " + title;
}

// The folder that receives the tracks, ending in '/'. Names from the cue sheet or the tag
// are made safe and always name a folder in the audio file's folder, also the album name of
// a cue sheet: the program's current directory is no place the user chose for the tracks,
// and a name from a file is never allowed to lead anywhere else.
std::string OutputFolderFor(const CueSheet& sheet, const StreamModel& model,
                            const std::string& fileName)
{
    const fs::path audio(fileName);
    std::string name;
    if (!sheet.AlbumTitle.empty() || !sheet.AlbumPerformer.empty())
        name = SanitizeFolderName(Joined(sheet.AlbumPerformer, sheet.AlbumTitle));
    const TID3v2& tag = model.Id3v2;
    if (name.empty() && tag.TotalSize > 0 && (!tag.Artist.empty() || !tag.Title.empty()))
        name = SanitizeFolderName(Joined(tag.Artist, tag.Title));
    const fs::path folder =
        name.empty() ? fs::path(audio).replace_extension() : audio.parent_path() / name;
    return folder.string() + "/";
}

void SplitTracks(StreamModel& model, const EngineContext& context, EditState& state,
                 const std::string& fileName, const CueSheet& sheet, const SplitControls& controls,
                 SplitResult& result)
{
    const SettingsRecord& settings = context.Settings;
    const int32_t n = model.Info.FrameCount;
    // A track is its frames alone: the incomplete tail after the last frame is not copied,
    // so the figures that the WAV header and the seek frame take their sizes from must not
    // count it either.
    SettingsRecord trackSettings = settings;
    trackSettings.CheckBoxRemoveLastFrame = -1;

    int32_t begin = -1;
    int32_t end = -1;
    try {
        for (size_t i = 0; i < sheet.Tracks.size(); ++i) {
            int32_t start = sheet.Tracks[i].StartFrame;
            const int32_t next = i + 1 < sheet.Tracks.size() ? sheet.Tracks[i + 1].StartFrame : n;
            int32_t length = next - start;
            if (settings.RadioGroupCueSplit == 1) {
                const auto limit =
                    int32_t(SecondsToFrames(model.Info.Reference, LimitedTrackSeconds));
                if (limit < length) {
                    start += (length - limit) / 2;
                    length = limit;
                }
            }
            begin = start;
            end = n - length - start;
            UpdateDiskSpaceSavingDisplay(state, model, trackSettings, begin, end);

            WriteParameters parameters;
            parameters.SourceName = fileName;
            parameters.DestName = result.OutputFolder + sheet.Tracks[i].Name;
            parameters.GainSteps = controls.Amplification;
            parameters.ShowProgressBar = true;
            parameters.CopyCount = n - end - begin;
            parameters.FadeSpan = parameters.CopyCount;
            parameters.FirstFrame = begin;
            parameters.FadeInPosition = controls.FadeIn;
            parameters.FadeOutPosition = controls.FadeOut;
            parameters.SilenceBeginFrames = state.AddSilenceBeginFrames;
            parameters.SilenceEndFrames = state.AddSilenceEndFrames;
            parameters.Cleanup = settings.CheckBoxCleanup != 0;
            parameters.AllowSeekFrame = true;
            parameters.KeepApe = false;
            parameters.KeepId3v2 = false;
            parameters.WriteId3v1 = false;
            parameters.CloseAfterwards = false;
            parameters.EditName = sheet.Tracks[i].Name;
            WriteEditedFile(model, context, state, parameters);
            result.Files.push_back(parameters.DestName);
        }
    } catch (...) {
        if (begin >= 0)
            UpdateDiskSpaceSavingDisplay(state, model, settings, begin, end);
        throw;
    }
    // The trimming points stay at the last track's, with the figures the window shows for
    // them.
    if (!sheet.Tracks.empty())
        UpdateDiskSpaceSavingDisplay(state, model, settings, begin, end);
}

} // namespace

SplitResult SplitByCueSheet(StreamModel& model, const EngineContext& context, EditState& state,
                            const std::string& fileName, const SplitControls& controls)
{
    if (model.Info.FrameCount <= 0)
        throw Error("Splitting needs an opened and analysed file");
    // The figures follow the trimming points of every track, as the window's do.
    state.FileOpen = true;

    SplitResult result;
    result.CueName = CueSheetName(fileName);
    std::error_code error;
    if (!fs::exists(result.CueName, error))
        result.CueFromTag = ExtractEmbeddedCueSheet(model, context, fileName, result.CueName);
    if (!fs::exists(result.CueName, error))
        return result;
    result.Found = true;

    try {
        const CueSheet sheet = ReadCueSheet(result.CueName, model, context.Settings, state);
        result.OutputFolder = OutputFolderFor(sheet, model, fileName);
        // One level only; an existing folder is used as it is, and a folder that cannot be
        // made shows in the writer's error for the first track.
        fs::create_directory(result.OutputFolder, error);
        SplitTracks(model, context, state, fileName, sheet, controls, result);
    } catch (...) {
        if (result.CueFromTag)
            unlink(result.CueName.c_str());
        throw;
    }
    if (result.CueFromTag)
        unlink(result.CueName.c_str());
    return result;
}

} // namespace zefrin
