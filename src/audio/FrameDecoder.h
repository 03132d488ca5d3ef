// The decoder the volume analysis and the preview feed with frames as they are stored in the
// file: one whole MPEG audio frame in, the 16-bit PCM decoded so far out. A decoder may hold
// output back (a Layer III frame's main data can lie in later bytes of the reservoir, and a
// decoder may wait for the next header), so output need not belong to the frame just given.
#pragma once

#include "core/MessageTexts.h"

#include <cstdint>

namespace zefrin {

class FrameDecoder
{
  public:
    // Convert results. Any other non-zero value is a failure of the decoder itself.
    static constexpr uint32_t ConvertOk = 0;
    // The decoder found the frame impossible to decode. The frame still counts as consumed;
    // the analysis counts such frames and goes on.
    static constexpr uint32_t ConvertImpossible = 512;

    virtual ~FrameDecoder() = default;

    // Starts a stream of frames at `sampleRate` Hz with `channels` (1 or 2) output channels,
    // signed 16-bit interleaved in host byte order. Any stream still open is closed first.
    // Raises an Error with JoinMessageLines(texts.MessageDlgAcmStreamOpenFailed) on failure.
    virtual void Open(uint32_t sampleRate, int channels, const MessageTexts& texts) = 0;

    // Decodes one frame of `length` bytes into `out` (at most outCapacityBytes). Sets
    // *sourceUsed to the bytes taken from `frame` and *destUsed to the PCM bytes written,
    // also when the result is not ConvertOk.
    virtual uint32_t Convert(const uint8_t* frame, uint32_t length, uint8_t* out,
                             uint32_t outCapacityBytes, uint32_t* sourceUsed,
                             uint32_t* destUsed) = 0;

    // Ends the stream and drops whatever output it still held back. 0 = closed; a decoder
    // that is not open closes successfully.
    virtual int Close() = 0;
};

} // namespace zefrin
