// The loudness of the last frames needs the decoder, which the fuzz targets leave out: every
// level stays quiet, so the ending is judged from what the scanner wrote and nothing else.
#pragma once

#include "core/EndLevels.h"

namespace zefrin {

class QuietEndLevels final : public EndLevelAnalyser
{
  public:
    void AnalyseLevels(StreamModel& model, const EngineContext&, const std::string&, int firstFrame,
                       int endFrame) override
    {
        for (int i = firstFrame; i < endFrame; ++i)
            model.Frames[uint32_t(i)].Level = 0;
    }
};

} // namespace zefrin
