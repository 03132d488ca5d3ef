#include "SaveCommands.h"

#include "FileNameLength.h"
#include "TrimFigures.h"
#include "core/Errors.h"

#include <algorithm>
#include <cctype>
#include <sys/stat.h>

namespace zefrin {

namespace {

std::string LowerExtension(const std::string& name)
{
    const size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.')
        return {};
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return extension;
}

// The name with its extension replaced (or added when it has none).
std::string WithExtension(const std::string& name, const std::string& extension)
{
    const size_t dot = name.find_last_of("./");
    if (dot == std::string::npos || name[dot] != '.')
        return name + extension;
    return name.substr(0, dot) + extension;
}

} // namespace

bool SaveWriterParameters(WriteParameters& out, const StreamModel& model,
                          const SettingsRecord& settings, const EditState& state,
                          const std::string& sourceName, const std::string& destName,
                          const std::string& editName, const EditControls& controls)
{
    const int32_t frameCount = model.Info.FrameCount;
    if (controls.Begin < 0 || controls.End < 0 || controls.Begin > frameCount ||
        controls.End > frameCount - controls.Begin)
        return false;
    out = WriteParameters{};
    out.SourceName = sourceName;
    out.DestName = destName;
    out.GainSteps = controls.Amplification;
    out.ShowProgressBar = true;
    out.FadeSpan = frameCount - controls.End - controls.Begin;
    out.CopyCount = out.FadeSpan + state.IncludeIncompleteTail;
    out.FirstFrame = controls.Begin;
    out.FadeOutPosition = controls.FadeOut;
    out.FadeInPosition = controls.FadeIn;
    out.SilenceEndFrames = state.AddSilenceEndFrames;
    out.SilenceBeginFrames = state.AddSilenceBeginFrames;
    out.Cleanup = settings.CheckBoxCleanup != 0;
    out.KeepApe = true;
    out.KeepId3v2 = settings.CheckBoxKeepID3v2 != 0;
    out.WriteId3v1 = true;
    out.AllowSeekFrame = true;
    out.CloseAfterwards = settings.CheckBoxCloseAfterSave != 0;
    out.EditName = editName;
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat first
    {
    };
    struct stat second
    {
    };
    if (stat(a.c_str(), &first) != 0 || stat(b.c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

void CheckSaveAsTarget(const std::string& sourceName, const std::string& destName)
{
    // The names are not compared: another spelling, a link or a hard link of the source would
    // let the writer empty the file it is reading.
    if (SameFile(sourceName, destName))
        throw Error("'Save As' cannot overwrite to the source file - use 'Save' instead");
}

bool SaveWavWithoutHeaderQuestion(const std::string& sourceName, const StreamModel& model,
                                  const SettingsRecord& settings, const EditState& state)
{
    return LowerExtension(sourceName) == ".wav" && !SaveAsWav(model, settings, state) &&
           model.Info.RiffHeaderSize > 0;
}

std::string ProposedSaveAsName(const std::string& editName, const StreamModel& model,
                               const SettingsRecord& settings, const EditState& state)
{
    std::string name = editName;
    if (settings.CheckBoxSaveAs_WithTime != 0) {
        const LengthInsertion inserted =
            InsertLengthIntoFileName(name, model.Info.Reference, uint32_t(state.OutputFrameCount));
        if (inserted.Done)
            name = inserted.NewName;
    }
    return WithExtension(name, SaveAsWav(model, settings, state) ? ".wav" : ".mp3");
}

} // namespace zefrin
