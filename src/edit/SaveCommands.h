// The engine half of Save and Save As: the writer call both make, the check that Save As
// does not write into the file it reads, the question before saving a .wav without its
// header, and the name Save As proposes.
#pragma once

#include "EditState.h"
#include "FileWriter.h"
#include "core/MessageTexts.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <cstdint>
#include <string>

namespace zefrin {

// What the window's controls hold when Save or Save As runs.
struct EditControls
{
    int32_t Begin = 0; // frames trimmed at the beginning; -1 = not a valid value
    int32_t End = 0;
    int32_t Amplification = 0; // TrackBarAmplification
    int32_t FadeIn = 0;        // TrackBarFadeIn
    int32_t FadeOut = 0;       // TrackBarFadeOut
};

// The writer call shared by Save (destName empty) and Save As. False when a trimming point
// is not valid: the command then does nothing.
bool SaveWriterParameters(WriteParameters& out, const StreamModel& model,
                          const SettingsRecord& settings, const EditState& state,
                          const std::string& sourceName, const std::string& destName,
                          const std::string& editName, const EditControls& controls);

// True when both names lead to the same file (device and inode), however they are spelt.
// A destination that does not exist yet is never the source.
bool SameFile(const std::string& a, const std::string& b);

// Raises "'Save As' cannot overwrite to the source file - use 'Save' instead" when dest is
// the source file itself.
void CheckSaveAsTarget(const std::string& sourceName, const std::string& destName);

// Whether Save asks MessageDlgSaveWAVWithoutHeaderWarning first: a ".wav" file with a WAV
// header that would be saved without one.
bool SaveWavWithoutHeaderQuestion(const std::string& sourceName, const StreamModel& model,
                                  const SettingsRecord& settings, const EditState& state);

// The file name Save As proposes for editName: with the length when CheckBoxSaveAs_WithTime
// is on, and the extension ".wav" or ".mp3" for the output type.
std::string ProposedSaveAsName(const std::string& editName, const StreamModel& model,
                               const SettingsRecord& settings, const EditState& state);

} // namespace zefrin
