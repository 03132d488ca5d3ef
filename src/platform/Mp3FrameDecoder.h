// The FrameDecoder of the program: libmpg123 in feed mode, fed one whole frame at a time
// (Layers I, II and III). Output is exactly what libmpg123 decodes: no gapless trimming, the
// LAME/Xing frame decoded as the silent frame it is, no resampling.
#pragma once

#include "audio/FrameDecoder.h"

#include <memory>

namespace zefrin {

class Mp3FrameDecoder final : public FrameDecoder
{
  public:
    // The result code for a failure of libmpg123 itself (not of the frame) is this base plus
    // libmpg123's error code, so that the analysis' error text names it.
    static constexpr uint32_t LibraryFailureBase = 0x1000;

    Mp3FrameDecoder();
    ~Mp3FrameDecoder() override;
    Mp3FrameDecoder(const Mp3FrameDecoder&) = delete;
    Mp3FrameDecoder& operator=(const Mp3FrameDecoder&) = delete;

    void Open(uint32_t sampleRate, int channels, const MessageTexts& texts) override;
    // Refuses (ConvertImpossible, frame consumed, nothing fed) a frame whose header is not a
    // usable MPEG audio header, whose length is not its header's frame length, or whose
    // sample rate is not the stream's: fed to libmpg123, such bytes would be joined with the
    // next frame's and put the stream out of step.
    uint32_t Convert(const uint8_t* frame, uint32_t length, uint8_t* out, uint32_t outCapacityBytes,
                     uint32_t* sourceUsed, uint32_t* destUsed) override;
    int Close() override;

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace zefrin
