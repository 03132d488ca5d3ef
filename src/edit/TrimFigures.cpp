#include "TrimFigures.h"

#include "SeekFrame.h"
#include "core/FrameHeader.h"

#include <cstdio>

namespace zefrin {

// clang-format off
const std::array<int32_t, 27> AddSilenceDurations = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 20, 30, 50, 70, 100, 150, 300, 450, 600, 750, 900,
    1050, 1200, 1500};
// clang-format on

namespace {

constexpr int32_t WavHeaderBytes = 58;
constexpr int32_t Id3v1RecordBytes = 128;

// A list index read from an imported settings file may lie outside the list (-1 = none);
// such an index adds no silence rather than reading past the table.
int32_t SilenceFrames(const FrameHeader& silent, int32_t entry)
{
    if (entry < 0 || entry >= int32_t(AddSilenceDurations.size()))
        return 0;
    return int32_t(
        MillisecondsToFrames(silent, uint32_t(AddSilenceDurations[size_t(entry)]) * 100));
}

std::string KilobytesText(int64_t bytes)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.1fKB", double(bytes) / 1024.0);
    return text;
}

} // namespace

bool SaveAsWav(const StreamModel& model, const SettingsRecord& settings, const EditState& state)
{
    if (state.WavChoiceOverride)
        return state.WavChoice;
    return settings.CheckBoxSaveWAV != 0 && model.Info.Reference.Layer == LayerIII;
}

int64_t PredictedTagBytes(const StreamModel& model, const SettingsRecord& settings,
                          const EditState& state)
{
    const StreamInfo& info = model.Info;
    int64_t size = 0;
    const bool wav = SaveAsWav(model, settings, state);
    if (wav)
        size += WavHeaderBytes;
    if (settings.RadioButtonID3Remove == 1)
        size += int64_t(info.Id3v1Size) * model.TagsKept;
    else if (settings.RadioButtonID3Remove == 2)
        size += Id3v1RecordBytes;
    size += int64_t(info.ApeSize) + info.LyricsSize;
    if (!wav && settings.CheckBoxKeepID3v2 != 0)
        size += int64_t(model.Id3v2.TotalSize) * model.TagsKept;
    return size;
}

void UpdateDiskSpaceSavingDisplay(EditState& state, const StreamModel& model,
                                  const SettingsRecord& settings, int32_t begin, int32_t end)
{
    if (!state.FileOpen)
        return;
    const StreamInfo& info = model.Info;
    state.SpaceSaved = 0;
    // Besides -1, a negative point or points that overlap would make the frame loop read
    // outside the table or give a negative frame count: neither is a point to save with.
    if (begin < 0 || end < 0 || int64_t(begin) + end > info.FrameCount) {
        state.SpaceSavedText = "(0KB)";
        return;
    }

    state.AddSilenceBeginFrames =
        SilenceFrames(info.SilentFrameHeader, settings.ComboBoxAddSilenceBeginning);
    state.AddSilenceEndFrames =
        SilenceFrames(info.SilentFrameHeader, settings.ComboBoxAddSilenceEnd);
    state.OutputFrameCount =
        info.FrameCount - (begin + end) + state.AddSilenceBeginFrames + state.AddSilenceEndFrames;

    int64_t size = int64_t(state.AddSilenceBeginFrames + state.AddSilenceEndFrames) *
                   info.SilentFrameHeader.FrameLength;

    state.IncludeIncompleteTail =
        info.LastFrameIncomplete && settings.CheckBoxRemoveLastFrame == 0 && end == 0 ? 1 : 0;
    const int32_t stop = info.FrameCount - end + state.IncludeIncompleteTail;
    if (settings.CheckBoxCleanup != 0) {
        for (int32_t i = begin; i < stop; ++i)
            size += model.Frames[uint32_t(i)].Length;
    } else if (begin < stop) {
        // Without cleanup the bytes between kept frames are copied with them.
        const FrameRecord& last = model.Frames[uint32_t(stop - 1)];
        size += int64_t(last.Offset) + last.Length - model.Frames[uint32_t(begin)].Offset;
    }

    if (SeekFrameWanted(model, settings))
        size += SeekFrameLength(info, settings);
    size += PredictedTagBytes(model, settings, state);

    state.PredictedSize = size;
    state.SpaceSaved = info.FileSize - size;
    state.SpaceSavedText = KilobytesText(state.SpaceSaved);
}

} // namespace zefrin
