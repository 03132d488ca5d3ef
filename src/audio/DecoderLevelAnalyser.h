// The end-of-stream loudness the opening driver asks for, answered by decoding the frames
// with the volume analysis (levels only, no normalisation).
#pragma once

#include "FrameDecoder.h"
#include "core/EndLevels.h"

namespace zefrin {

class DecoderLevelAnalyser final : public EndLevelAnalyser
{
  public:
    // The decoder is borrowed: it must outlive this analyser.
    explicit DecoderLevelAnalyser(FrameDecoder& decoder)
        : m_decoder(decoder)
    {
    }

    void AnalyseLevels(StreamModel& model, const EngineContext& context,
                       const std::string& fileName, int firstFrame, int endFrame) override;

  private:
    FrameDecoder& m_decoder;
};

} // namespace zefrin
