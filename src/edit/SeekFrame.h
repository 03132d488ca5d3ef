// The "Xing" (variable bitrate: frames, bytes, 100-entry seek table) or "Info" (constant
// bitrate: frames, bytes) frame at the start of a saved file: whether one is written, the
// frame for the edited stream, and whether it differs from the source's.
#pragma once

#include "EditState.h"
#include "core/StreamModel.h"
#include "settings/SettingsRecord.h"

#include <array>
#include <cstdint>

namespace zefrin {

struct SeekFrame
{
    FrameHeader NewSeekFrameHeader;                         // FrameLength: bytes to write
    std::array<uint8_t, ExtraInfoFrameSize> NewSeekFrame{}; // the frame, zero beyond it
};

bool SeekFrameWanted(const StreamModel& model, const SettingsRecord& settings);

// The length of the frame BuildSeekFrame makes: the source's frame when it is kept (it is
// kept only when it can hold the whole tag), else a fresh one. The size prediction counts it.
uint32_t SeekFrameLength(const StreamInfo& info, const SettingsRecord& settings);

// Builds the frame for an output whose first copied frame is FrameTable[firstFrame].
// state.PredictedSize and state.OutputFrameCount must be current. tagBytes are the bytes of
// PredictedSize that are not MPEG audio (PredictedTagBytes): players take the byte count, and
// the seek table's scale, as the size of the audio alone, this frame included.
void BuildSeekFrame(SeekFrame& out, const StreamModel& model, const SettingsRecord& settings,
                    const EditState& state, int32_t firstFrame, int64_t tagBytes);

// True when the source has an extra-information frame and the new one differs from it.
bool SeekFrameChanged(const SeekFrame& frame, const StreamInfo& info);

} // namespace zefrin
