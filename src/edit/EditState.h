// The figures of the result that the trim controls keep current for the save: silent frames
// to add, the frames and bytes the save will write, and the file type Save As chose. One
// object beside the stream model, owned by whoever owns the model.
#pragma once

#include <cstdint>
#include <string>

namespace zefrin {

struct EditState
{
    bool FileOpen = false; // set by RefreshTrimControls; the figures stay put while closed

    int32_t AddSilenceBeginFrames = 0;
    int32_t AddSilenceEndFrames = 0;
    int32_t OutputFrameCount = 0;         // kept frames + added silence, the tail not counted
    int32_t IncludeIncompleteTail = 0;    // 1: the save copies the incomplete last frame too
    int64_t PredictedSize = 0;            // bytes Save would write
    int64_t SpaceSaved = 0;               // FileSize - PredictedSize
    std::string SpaceSavedText = "(0KB)"; // LabelSpaceSaved

    // Save As with a file type other than the preset one makes SaveAsWav follow the dialog.
    bool WavChoiceOverride = false;
    bool WavChoice = false;
};

} // namespace zefrin
