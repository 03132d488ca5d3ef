// The figures of the result: how many silent frames the save adds, how many frames and
// bytes it writes, and whether it wraps the MP3 data in a WAV header.
#pragma once

#include "EditState.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <array>
#include <cstdint>

namespace zefrin {

// Silence lengths in tenths of a second for the 27 entries of the add-silence lists.
// Entries 24 and 26 are 105 s and 150 s although the lists read "115s" and "180s".
extern const std::array<int32_t, 27> AddSilenceDurations;

// WavChoice while WavChoiceOverride is set; otherwise CheckBoxSaveWAV on a Layer III stream.
bool SaveAsWav(const StreamModel& model, const SettingsRecord& settings, const EditState& state);

// The bytes of PredictedSize that are not MPEG audio: the WAV header or the ID3v2 tag, and
// the Lyrics3, APE and ID3v1 blocks at the end.
int64_t PredictedTagBytes(const StreamModel& model, const SettingsRecord& settings,
                          const EditState& state);

// Recomputes the figures for the trimming points begin and end (frame counts; -1 = not a
// valid value) and the LabelSpaceSaved text. Does nothing while no file is open; with an
// invalid point only the text becomes "(0KB)" and SpaceSaved 0.
void UpdateDiskSpaceSavingDisplay(EditState& state, const StreamModel& model,
                                  const SettingsRecord& settings, int32_t begin, int32_t end);

} // namespace zefrin
