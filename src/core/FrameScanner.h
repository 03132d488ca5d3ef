// The frame scanner: walks the audio region of the opened file frame by frame and builds
// the stream model — reference header, frame table, damage counts, the header bits that
// stay constant (CBR or VBR), silent frames, bit-reservoir depth, the extra-information
// frame ("Xing"/"Info") and the mp3PRO judgement.
#pragma once

#include "EngineContext.h"
#include "StreamModel.h"

#include <cstdint>

namespace zefrin {

// Scans `size` bytes at `data`. bitrateIndex 0 accepts any bitrate, 1..15 only frames with
// that index. Offsets in the frame table are relative to `data`. Raises Error with the
// message texts: no header found, "File too big", "Stopped at user request"; the partly
// filled model is left as it is.
void ScanFrames(StreamModel& model, const EngineContext& context, const uint8_t* data,
                uint32_t size, int bitrateIndex);

// True when not every frame had the reference's bitrate index.
bool IsVariableBitrate(const StreamInfo& info);

// The highest bitrate index used by all but at most FrameCount / 128 frames; 0 when none.
int DominantBitrateIndex(const StreamInfo& info);

} // namespace zefrin
